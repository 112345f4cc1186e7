// `quillstone objects FILE` and `quillstone columns FILE TABLE`: the catalog
// as read from the system base tables.
#pragma once

#include <ostream>
#include <string>

#include "scan/application_state.h"
#include "common/progress_sink.h"

namespace quill {

// One tab-separated line per object row: id, type code (two characters as
// stored), name, parent object id.
int RunObjectsCommand(const std::string& path, ApplicationState& state, ProgressSink& progress,
                      std::ostream& out);

// One tab-separated line per column of TABLE: column id, name, type text,
// type code, nullable, ordinal, leaf offset, null bit, key flags; then the
// table's page count. An unknown table is an error naming it (exit 1).
int RunColumnsCommand(const std::string& path, const std::string& table, ApplicationState& state,
                      ProgressSink& progress, std::ostream& out);

}  // namespace quill
