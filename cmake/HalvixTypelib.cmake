# Type libraries of the ActiveX controls, compiled from our own .idl files
# with the cross toolchain's widl (HALVIX_WIDL, set by the toolchain file).
set(HALVIX_IDL_DIR ${CMAKE_CURRENT_LIST_DIR}/../idl)
get_filename_component(HALVIX_IDL_DIR ${HALVIX_IDL_DIR} ABSOLUTE)
set(HALVIX_IDL_BIN ${CMAKE_BINARY_DIR}/idl)
if(HALVIX_64)
  set(HALVIX_WIDL_ARCH --win64)
else()
  set(HALVIX_WIDL_ARCH --win32)
endif()

# halvix_typelib(TARGET IDL): compiles IDL (path relative to the calling
# folder) into <name>.tlb and embeds it in TARGET as resource "1 TYPELIB".
function(halvix_typelib target idl)
  get_filename_component(idl ${idl} ABSOLUTE)
  get_filename_component(name ${idl} NAME_WE)
  if(NOT TARGET halvix_stdole_tlb)
    file(MAKE_DIRECTORY ${HALVIX_IDL_BIN})
    add_custom_command(OUTPUT ${HALVIX_IDL_BIN}/stdole2.tlb
      COMMAND ${HALVIX_WIDL} ${HALVIX_WIDL_ARCH} -t -I ${HALVIX_IDL_DIR} -o ${HALVIX_IDL_BIN}/stdole2.tlb
              ${HALVIX_IDL_DIR}/stdole2.idl
      DEPENDS ${HALVIX_IDL_DIR}/stdole2.idl ${HALVIX_IDL_DIR}/prelude.idl
      COMMENT "widl stdole2.tlb (build-time stand-in)")
    add_custom_target(halvix_stdole_tlb DEPENDS ${HALVIX_IDL_BIN}/stdole2.tlb)
  endif()
  set(tlb ${CMAKE_CURRENT_BINARY_DIR}/${name}.tlb)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${name}_typelib.rc)
  add_custom_command(OUTPUT ${tlb}
    COMMAND ${HALVIX_WIDL} ${HALVIX_WIDL_ARCH} -t -I ${HALVIX_IDL_DIR} -I ${CMAKE_CURRENT_SOURCE_DIR}
            -L ${HALVIX_IDL_BIN} -o ${tlb} ${idl}
    DEPENDS ${idl} ${HALVIX_IDL_DIR}/prelude.idl ${HALVIX_IDL_BIN}/stdole2.tlb
    COMMENT "widl ${name}.tlb")
  add_custom_target(${target}_tlb DEPENDS ${tlb})
  add_dependencies(${target}_tlb halvix_stdole_tlb)
  file(WRITE ${rc} "1 TYPELIB \"${tlb}\"\n")
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${tlb})
  target_sources(${target} PRIVATE ${rc})
  add_dependencies(${target} ${target}_tlb)
endfunction()
