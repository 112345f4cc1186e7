// The options of one run of the readers, as a value handed down to every
// reader of pages, rows and values: how records are parsed, how values are
// decoded, and where a table's pages come from.
#pragma once

#include "records/record_parse_options.h"
#include "records/table_page_list.h"
#include "values/value_decode_options.h"

namespace quill {

struct ReadOptions {
  RecordParseOptions parse;  // deleted-record options, isSql2000, the stop request
  ValueDecodeOptions decode;
  RecoveryMode recoveryMode = RecoveryMode::kStandard;

  StopToken stop() const { return parse.stop; }
  bool aborted() const { return parse.aborted(); }
};

}  // namespace quill
