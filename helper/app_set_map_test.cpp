#include "app_set_map.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

namespace ringdeck::helper {
namespace {

std::string label(const AppSetMap::Node& n) { return {n.label, n.labelLength}; }

std::vector<std::string> labelsOf(const AppSetMap::Cell* c) {
  std::vector<std::string> out;
  for (; c; c = c->next) out.push_back(label(*c->node));
  return out;
}

std::vector<std::uint32_t> entries(const AppSetList& list) {
  std::vector<std::uint32_t> out;
  list.forEach([&](std::uint32_t, std::uint32_t r) { out.push_back(r); });
  return out;
}

TEST(AppSetMap, SplitsKeepValuesAndChildrenBelowTheSharedPrefix) {
  Arena arena;
  AppSetMap map(arena);
  AppSetList* notepad = map.listFor("NOTEPAD.EXE");
  AppSetList* note = map.listFor("NOTE.EXE");  // splits NOTEPAD.EXE after "NOTE"
  AppSetList* nothing = map.listFor("NOT");    // splits "NOTE" after "NOT": key ends there
  AppSetList* word = map.listFor("WORD.EXE");
  ASSERT_TRUE(notepad && note && nothing && word);

  EXPECT_EQ(labelsOf(map.topLevel()), (std::vector<std::string>{"NOT", "WORD.EXE"}));
  const AppSetMap::Node& nt = *map.topLevel()->node;
  EXPECT_EQ(nt.value, nothing);
  EXPECT_EQ(labelsOf(nt.firstChild), (std::vector<std::string>{"E"}));
  const AppSetMap::Node& e = *nt.firstChild->node;
  EXPECT_EQ(e.value, nullptr);
  // Children keep insertion order: PAD.EXE came before .EXE.
  EXPECT_EQ(labelsOf(e.firstChild), (std::vector<std::string>{"PAD.EXE", ".EXE"}));

  EXPECT_EQ(map.find("NOTEPAD.EXE"), notepad);
  EXPECT_EQ(map.find("NOTE.EXE"), note);
  EXPECT_EQ(map.find("NOT"), nothing);
  EXPECT_EQ(map.find("WORD.EXE"), word);
  // A split node without a value, a key ending inside a label or going past a leaf: absent.
  for (std::string_view absent : {"NOTE", "NO", "NOTEPAD", "NOTEPAD.EXE2", "WORD", "X", ""}) {
    EXPECT_EQ(map.find(absent), nullptr) << absent;
  }
  // Finding or inserting a key again gives the same list.
  EXPECT_EQ(map.listFor("NOTE.EXE"), note);
}

TEST(AppSetMap, EmptyKeyIsNeverStored) {
  Arena arena;
  AppSetMap map(arena);
  EXPECT_EQ(map.insert(""), nullptr);
  EXPECT_EQ(map.listFor(""), nullptr);
  EXPECT_EQ(map.topLevel(), nullptr);
}

TEST(AppSetMap, KeysOf32CharactersAndKeysThatArePrefixesOfEachOther) {
  Arena arena;
  AppSetMap map(arena);
  const std::string k32(32, 'K');
  const std::string k31(31, 'K');
  AppSetList* a = map.listFor(k32);
  AppSetList* b = map.listFor(k31);
  ASSERT_TRUE(a && b);
  EXPECT_NE(a, b);
  EXPECT_EQ(map.find(k32), a);
  EXPECT_EQ(map.find(k31), b);
  EXPECT_EQ(map.find(std::string(33, 'K')), nullptr);
  EXPECT_EQ(map.find(std::string(30, 'K')), nullptr);
}

TEST(AppSetMap, AgreesWithAnOrdinaryMapOnManyRandomKeys) {
  // Few letters make long shared prefixes, so that every kind of split happens many times.
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> len(1, 33);
  std::uniform_int_distribution<int> letter(0, 3);
  Arena arena;
  AppSetMap map(arena);
  std::map<std::string, AppSetList*> reference;
  std::vector<std::string> probes;
  for (int i = 0; i < 3000; ++i) {
    std::string k(static_cast<std::size_t>(len(rng)), 'A');
    for (char& c : k) c = static_cast<char>("ABC*"[letter(rng)]);
    probes.push_back(k);
    if (i % 3 == 0) continue;  // some keys are only looked up
    AppSetList* list = map.listFor(k);
    ASSERT_NE(list, nullptr);
    auto [it, added] = reference.emplace(k, list);
    if (!added) {
      EXPECT_EQ(it->second, list) << k;
    }
  }
  for (const std::string& k : probes) {
    auto it = reference.find(k);
    EXPECT_EQ(map.find(k), it == reference.end() ? nullptr : it->second) << k;
  }
}

TEST(AppSetMap, AnArenaThatRunsDryFailsTheInsertion) {
  Arena arena(100);  // less than one block
  AppSetMap map(arena);
  EXPECT_EQ(map.listFor("NOTEPAD.EXE"), nullptr);
  EXPECT_EQ(map.find("NOTEPAD.EXE"), nullptr);
}

TEST(AppSetList, GrowsInBlocksOf16AndKeepsFileOrder) {
  Arena arena;
  AppSetList& list = *arena.make<AppSetList>();
  std::vector<std::uint32_t> expected;
  for (std::uint32_t i = 0; i < 40; ++i) {
    ASSERT_TRUE(list.append(arena, i * 3));
    expected.push_back(i * 3);
  }
  EXPECT_EQ(list.size(), 40u);
  EXPECT_EQ(entries(list), expected);
  for (std::uint32_t p : {0u, 15u, 16u, 31u, 32u, 39u}) EXPECT_EQ(list.at(p), p * 3) << p;
  EXPECT_EQ(list.at(40), std::nullopt);
  EXPECT_EQ(list.positionOf(48), 16u);
  EXPECT_EQ(list.positionOf(1), std::nullopt);
  EXPECT_EQ(list.selection(), 0u);
}

TEST(AppSetList, PositionOfFindsTheFirstOccurrence) {
  Arena arena;
  AppSetList& list = *arena.make<AppSetList>();
  for (std::uint32_t r : {5u, 9u, 5u}) list.append(arena, r);
  EXPECT_EQ(list.positionOf(5), 0u);
  EXPECT_EQ(list.positionOf(9), 1u);
}

}  // namespace
}  // namespace ringdeck::helper
