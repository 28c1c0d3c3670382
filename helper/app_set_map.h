// The per-application set lists and the map from application key to list, built in one arena
// per read of the settings file.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "arena.h"

namespace ringdeck::helper {

// Record indices of all sets of one application key, in file order, in blocks of 16 so that the
// list grows without moving, plus the position the user last picked from it.
class AppSetList {
 public:
  static constexpr std::uint32_t kBlockEntries = 16;

  std::uint32_t size() const { return count_; }
  // The record index at position p; nothing when p is not a position of the list.
  std::optional<std::uint32_t> at(std::uint32_t p) const;
  // First position holding record, or nothing.
  std::optional<std::uint32_t> positionOf(std::uint32_t record) const;
  bool append(Arena& arena, std::uint32_t record);

  std::uint32_t selection() const { return selection_; }
  void setSelection(std::uint32_t p) { selection_ = p; }

  template <typename F>
  void forEach(F&& f) const {
    std::uint32_t p = 0;
    for (const Block* b = first_; b; b = b->next) {
      for (std::uint32_t s = 0; s < kBlockEntries && p < count_; ++s, ++p) f(p, b->entries[s]);
    }
  }

 private:
  struct Block {
    std::uint32_t entries[kBlockEntries];
    Block* next;
  };
  Block* first_ = nullptr;
  Block* last_ = nullptr;
  std::uint32_t count_ = 0;
  std::uint32_t selection_ = 0;
};

// Application key -> set list, as a compressed prefix tree: each node carries a label of one or
// more characters, an optional list and its children in insertion order. Keys share the nodes of
// their common prefix; an empty key is never stored.
class AppSetMap {
 public:
  struct Node;
  struct Cell {
    Node* node;
    Cell* next;
  };
  struct Node {
    const char* label;
    std::uint32_t labelLength;
    AppSetList* value;
    Cell* firstChild;
    Cell* lastChild;
  };

  explicit AppSetMap(Arena& arena) : arena_(arena) {}

  // The list stored under key, or nullptr when the key is absent or its node holds none.
  AppSetList* find(std::string_view key) const;
  // The node that holds key's value, created (with splits) as needed; nullptr for an empty key
  // or when the arena runs dry.
  Node* insert(std::string_view key);
  // The list under key, created empty when the key has none yet.
  AppSetList* listFor(std::string_view key);

  const Cell* topLevel() const { return top_.firstChild; }

 private:
  Cell* appendCell(Node& parent, std::string_view label);

  Arena& arena_;
  Node top_{};  // only its chain of children is used: the top-level cells
};

}  // namespace ringdeck::helper
