#include "scan/memory_tree.h"

#include <algorithm>

namespace quill {

void MemoryTree::DeleteAllItems() {
  nodes_.clear();
  roots_.clear();
  selected_ = kNoTreeItem;
}

const MemoryTree::Node* MemoryTree::Find(TreeItem item) const {
  if (item == kNoTreeItem || item > nodes_.size()) return nullptr;
  return &nodes_[item - 1];
}

MemoryTree::Node* MemoryTree::FindMutable(TreeItem item) {
  if (item == kNoTreeItem || item > nodes_.size()) return nullptr;
  return &nodes_[item - 1];
}

const std::vector<TreeItem>& MemoryTree::Children(TreeItem item) const {
  static const std::vector<TreeItem> kNone;
  if (item == kNoTreeItem) return roots_;
  const Node* node = Find(item);
  return node ? node->children : kNone;
}

std::vector<TreeItem>& MemoryTree::ChildList(TreeItem parent) {
  if (parent == kNoTreeItem) return roots_;
  return nodes_[parent - 1].children;
}

TreeItem MemoryTree::InsertItem(TreeItem parent, const std::string& text, const TreeIcon& icon,
                                TreeInsert where) {
  if (parent != kNoTreeItem && !Find(parent)) return kNoTreeItem;
  Node node;
  node.text = text;
  node.icon = icon;
  node.parent = parent;
  nodes_.push_back(std::move(node));
  const TreeItem item = nodes_.size();
  std::vector<TreeItem>& siblings = ChildList(parent);
  if (where == TreeInsert::kFirst) {
    siblings.insert(siblings.begin(), item);
  } else {
    siblings.push_back(item);
  }
  return item;
}

void MemoryTree::SetItemData(TreeItem item, uint64_t data) {
  if (Node* node = FindMutable(item)) node->data = data;
}

uint64_t MemoryTree::GetItemData(TreeItem item) const {
  const Node* node = Find(item);
  return node ? node->data : 0;
}

std::string MemoryTree::GetItemText(TreeItem item) const {
  const Node* node = Find(item);
  return node ? node->text : std::string();
}

void MemoryTree::SetItemBold(TreeItem item, bool bold) {
  if (Node* node = FindMutable(item)) node->bold = bold;
}

TreeItem MemoryTree::GetChildItem(TreeItem item) const {
  const std::vector<TreeItem>& children = Children(item);
  return children.empty() ? kNoTreeItem : children.front();
}

TreeItem MemoryTree::GetNextSiblingItem(TreeItem item) const {
  const Node* node = Find(item);
  if (!node) return kNoTreeItem;
  const std::vector<TreeItem>& siblings = Children(node->parent);
  auto it = std::find(siblings.begin(), siblings.end(), item);
  if (it == siblings.end() || ++it == siblings.end()) return kNoTreeItem;
  return *it;
}

TreeItem MemoryTree::GetParentItem(TreeItem item) const {
  const Node* node = Find(item);
  return node ? node->parent : kNoTreeItem;
}

void MemoryTree::SortChildren(TreeItem item) {
  if (item != kNoTreeItem && !Find(item)) return;
  std::vector<TreeItem>& children = ChildList(item);
  std::stable_sort(children.begin(), children.end(), [this](TreeItem a, TreeItem b) {
    return nodes_[a - 1].text < nodes_[b - 1].text;
  });
}

std::vector<std::string> MemoryTree::ChildTexts(TreeItem item) const {
  std::vector<std::string> texts;
  for (TreeItem child : Children(item)) texts.push_back(nodes_[child - 1].text);
  return texts;
}

TreeItem MemoryTree::FindChild(TreeItem parent, const std::string& text) const {
  for (TreeItem child : Children(parent)) {
    if (nodes_[child - 1].text == text) return child;
  }
  return kNoTreeItem;
}

void MemoryTree::Print(std::ostream& out) const {
  // Depth-first with an explicit stack; the tree is acyclic by construction
  // (a node's parent always exists before it), so the walk ends.
  struct Frame {
    TreeItem item;
    size_t depth;
  };
  std::vector<Frame> stack;
  for (auto it = roots_.rbegin(); it != roots_.rend(); ++it) stack.push_back({*it, 0});
  while (!stack.empty()) {
    const Frame frame = stack.back();
    stack.pop_back();
    const Node& node = nodes_[frame.item - 1];
    out << std::string(frame.depth * 2, ' ') << node.text << (node.bold ? " *" : "") << '\n';
    for (auto it = node.children.rbegin(); it != node.children.rend(); ++it) {
      stack.push_back({*it, frame.depth + 1});
    }
  }
}

}  // namespace quill
