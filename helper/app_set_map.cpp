#include "app_set_map.h"

#include <cstring>

namespace ringdeck::helper {

std::optional<std::uint32_t> AppSetList::at(std::uint32_t p) const {
  if (p >= count_) return std::nullopt;
  const Block* b = first_;
  for (std::uint32_t i = p / kBlockEntries; i > 0; --i) b = b->next;
  return b->entries[p % kBlockEntries];
}

std::optional<std::uint32_t> AppSetList::positionOf(std::uint32_t record) const {
  std::optional<std::uint32_t> found;
  forEach([&](std::uint32_t p, std::uint32_t r) {
    if (!found && r == record) found = p;
  });
  return found;
}

bool AppSetList::append(Arena& arena, std::uint32_t record) {
  if (count_ == UINT32_MAX) return false;
  if (count_ % kBlockEntries == 0) {
    Block* b = arena.make<Block>();
    if (!b) return false;
    (last_ ? last_->next : first_) = b;
    last_ = b;
  }
  last_->entries[count_ % kBlockEntries] = record;
  ++count_;
  return true;
}

AppSetList* AppSetMap::find(std::string_view key) const {
  if (key.empty()) return nullptr;
  const Node* level = &top_;
  std::size_t pos = 0;
  for (;;) {
    const Cell* c = level->firstChild;
    while (c && c->node->label[0] != key[pos]) c = c->next;
    if (!c) return nullptr;
    const Node& n = *c->node;
    if (key.size() - pos < n.labelLength) return nullptr;  // key ends inside the label
    if (std::memcmp(n.label, key.data() + pos, n.labelLength) != 0) return nullptr;
    pos += n.labelLength;
    if (pos == key.size()) return n.value;
    level = &n;
  }
}

AppSetMap::Cell* AppSetMap::appendCell(Node& parent, std::string_view label) {
  char* text = arena_.makeArray<char>(label.size());
  Node* node = arena_.make<Node>();
  Cell* cell = arena_.make<Cell>();
  if (!text || !node || !cell) return nullptr;
  std::memcpy(text, label.data(), label.size());
  node->label = text;
  node->labelLength = static_cast<std::uint32_t>(label.size());
  cell->node = node;
  (parent.lastChild ? parent.lastChild->next : parent.firstChild) = cell;
  parent.lastChild = cell;
  return cell;
}

AppSetMap::Node* AppSetMap::insert(std::string_view key) {
  if (key.empty() || key.size() > UINT32_MAX) return nullptr;
  Node* level = &top_;
  std::size_t pos = 0;
  for (;;) {
    Cell* c = level->firstChild;
    while (c && c->node->label[0] != key[pos]) c = c->next;
    if (!c) {
      Cell* added = appendCell(*level, key.substr(pos));
      return added ? added->node : nullptr;
    }
    Node& n = *c->node;
    std::uint32_t j = 1;
    while (j < n.labelLength && pos + j < key.size() && n.label[j] == key[pos + j]) ++j;
    if (j < n.labelLength) {
      // Split: the tail of the label, with the node's value and children, moves one level down.
      Node* tail = arena_.make<Node>();
      Cell* cell = arena_.make<Cell>();
      if (!tail || !cell) return nullptr;
      tail->label = n.label + j;
      tail->labelLength = n.labelLength - j;
      tail->value = n.value;
      tail->firstChild = n.firstChild;
      tail->lastChild = n.lastChild;
      cell->node = tail;
      n.labelLength = j;
      n.value = nullptr;
      n.firstChild = n.lastChild = cell;
    }
    pos += j;
    if (pos == key.size()) return &n;
    level = &n;
  }
}

AppSetList* AppSetMap::listFor(std::string_view key) {
  Node* n = insert(key);
  if (!n) return nullptr;
  if (!n->value) n->value = arena_.make<AppSetList>();
  return n->value;
}

}  // namespace ringdeck::helper
