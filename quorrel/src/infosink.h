// Where a category writer puts its text: an open information file, or a
// string in tests. The format's pieces (headings, items, line ends) come
// from the information-file writer.
#pragma once
#include "infofile/infofile.h"

namespace quorrel {

using InfoSink = infofile::Writer;
using StringSink = infofile::StringWriter;
using FileSink = infofile::FileWriter;

}  // namespace quorrel
