// Any sequence of what a person can do in the action editor, over a set whose slots hold any
// bytes: nothing fails unsafely, a refused store leaves its slot exactly as it was, every store
// writes only what the editor offers, and a slot of a kind the editor does not offer changes
// only after a response was picked for it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "quiet_peers.h"
#include "action_editor.h"
#include "memory_file.h"

namespace {

using namespace ringdeck;
using namespace ringdeck::panel;

void check(bool ok, const char* what, int line) {
  if (ok) return;
  std::fprintf(stderr, "action_editor_fuzz.cpp:%d: check failed: %s\n", line, what);
  std::abort();
}
#define CHECK(cond) check((cond), #cond, __LINE__)

bool offeredKind(std::uint16_t kind) {
  return kind == 0 || kind == 1 || kind == 7 || kind == 8 || kind == 9 || kind == 16 || kind == 17;
}

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool empty() const { return pos_ >= size_; }
  std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  std::string text() {
    const std::size_t n = byte() % 40;
    std::string t;
    for (std::size_t i = 0; i < n && !empty(); ++i) t.push_back(static_cast<char>(byte()));
    return t;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in(data, size);
  MemoryFileSystem files;
  QuietPeers peers;
  SettingsStore store(files, peers);
  store.records.assign(3, SettingsRecord{});
  store.recordCount = 2;
  // The set's slots take the first bytes of the input as they come.
  for (int r = 0; r < 2; ++r) {
    auto* raw = reinterpret_cast<std::uint8_t*>(&store.records[static_cast<std::size_t>(r)].slots);
    for (std::size_t i = 0; i < sizeof store.records[0].slots && !in.empty(); i += 7) raw[i] = in.byte();
  }
  const StandardEditorCaptions captions;
  const LayoutCharTable layout;
  ActionEditor editor(store, captions, layout);
  editor.ShowUserAction(0);
  bool responsePicked = false;

  while (!in.empty()) {
    const ActionSlot before = editor.editedSlot();
    switch (in.byte() % 12) {
      case 0: {
        const int position = in.byte() % 60;  // two past the end: shown as the first
        editor.ShowUserAction(position);
        responsePicked = false;
        break;
      }
      case 1:
        editor.ChooseResponse(static_cast<ResponseChoice>(in.byte() % 6));
        responsePicked = true;
        break;
      case 2: editor.KeyDown(in.byte() | (in.byte() << 8)); break;
      case 3: editor.KeyUp(in.byte() | (in.byte() << 8)); break;
      case 4: editor.SelectManualKey(in.byte() % 6 - 1, in.byte() % 30 - 2); break;
      case 5: {
        // An arrow clicked on a text that is no number shows the slot again as stored, which
        // drops a response picked for it.
        int amount = 0;
        if (!ParseScrollAmount(editor.view.wheelText, amount)) responsePicked = false;
        editor.WheelArrow(in.byte() & 1);
        break;
      }
      case 6: editor.view.wheelText = in.text(); break;
      case 7: editor.view.comment = in.text(); break;
      case 8: editor.view.frequency = static_cast<int>(in.byte() % 20) - 2; break;
      case 9: editor.view.modifierDown[in.byte() % kModifierButtonCount] = in.byte() & 1; break;
      case 10: editor.view.syncRelease = in.byte() & 1; break;
      case 11: {
        const auto result = editor.StoreEditedAction();
        const ActionSlot& after = editor.editedSlot();
        if (result == ActionEditor::StoreResult::InvalidScrollAmount) {
          CHECK(std::memcmp(&before, &after, sizeof before) == 0);
          break;
        }
        if (!offeredKind(before.kind) && !responsePicked) {
          CHECK(std::memcmp(&before, &after, sizeof before) == 0);
          break;
        }
        CHECK(offeredKind(after.kind));
        CHECK(std::memchr(after.comment, 0, sizeof after.comment) != nullptr);
        // A scroll action takes an amount the box accepts, unless it only changed direction
        // and keeps the amount shown for the stored one.
        const bool wasScroll = before.kind == 16 || before.kind == 17;
        if ((after.kind == 16 || after.kind == 17) && before.kind != after.kind &&
            !(wasScroll && after.wheelNotches == before.wheelNotches))
          CHECK(after.wheelNotches >= kMinScrollAmount && after.wheelNotches <= kMaxScrollAmount);
        break;
      }
    }
    CHECK(editor.state.currentUserAction >= 0 && editor.state.currentUserAction < static_cast<int>(kUserActionCount));
    CHECK(editor.view.shownOverlay >= 0 && editor.view.shownOverlay <= 14);
  }
  return 0;
}
