// String ids of the processor information and the processor self-tests.
#pragma once

#define IDS_CPU_TYPE 61959
#define IDS_CPU_FAMILY 61960
#define IDS_CPU_MODEL 61961
#define IDS_CPU_STEPPING 61962
#define IDS_FEATURE_FLAG 61963
#define IDS_MATH_TYPE 61964
#define IDS_CPU_SPEED 61965
#define IDS_PROCESSOR 61998
#define IDS_FEATURE_INFORMATION 62098
#define IDS_CPU_IDENTIFICATION 62101

#define IDS_NAME_K5 62317
#define IDS_NAME_K6 62318
#define IDS_NAME_6X86MX 62319
#define IDS_NAME_6X86 62320
#define IDS_NAME_IDT_C6 62321
#define IDS_NAME_GX86 62322
#define IDS_NAME_5X86 62323
#define IDS_NAME_UNKNOWN 62324
#define IDS_NAME_CELERON_L2 62325
#define IDS_NAME_PENTIUM_II 62326
#define IDS_NAME_CELERON 62327
#define IDS_NAME_PENTIUM_PRO 62328
#define IDS_NAME_PENTIUM_MMX 62329
#define IDS_NAME_PENTIUM 62330
#define IDS_NAME_486_COMMA 62331
#define IDS_NAME_386 62332
#define IDS_NAME_486 62334
#define IDS_SUMMARY_SPEED 62335
#define IDS_CATEGORY_SPEED 62336
// The feature table: for each row the text when set, then when clear.
#define IDS_FEATURE_FIRST 62337
#define IDS_FEATURE_3DNOW 62367
#define IDS_NAME_ATHLON 62446
#define IDS_NAME_PENTIUM_III 62447
#define IDS_NAME_PENTIUM_4 62449
#define IDS_NAME_DURON 62450
// A processor the name tables do not know, named by its brand string.
#define IDS_NAME_BRAND 62451
// A self-test that this machine cannot run.
#define IDS_SELFTEST_NOT_AVAILABLE 62452

// Failure texts of the mathematical calculation self-test, check 1..13.
#define IDS_MATH_CHECK_FIRST 62431
