// What the window work of the engine session changes in the record panel.
// Called on worker threads; each call has been carried out on the window
// thread when it returns.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quill::ui {

class RecordView {
 public:
  virtual ~RecordView() = default;
  // The record list and both links shown, the script box hidden, the list
  // emptied with these column titles.
  virtual void ShowTableList(const std::vector<std::string>& titles) = 0;
  // The script box shown with `text`; the list and the links hidden.
  virtual void ShowScript(const std::string& text) = 0;
  // The list shown without columns; page label, links and script box
  // hidden. With `columns`, the three document columns are added.
  virtual void ShowDocumentList(bool columns) = 0;
  virtual void ClearRows() = 0;
  // Appends one row; `item_data` is kept with it.
  virtual void AppendRow(const std::vector<std::string>& cells, uint64_t item_data) = 0;
  virtual void SetLinks(bool previous_enabled, bool next_enabled) = 0;
  virtual void SetPageLabel(const std::string& text) = 0;
  virtual void ShowProgressPanel() = 0;
};

}  // namespace quill::ui
