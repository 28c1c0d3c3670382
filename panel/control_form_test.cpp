#include "control_form.h"

#include <gtest/gtest.h>

#include <vector>

namespace ringdeck::panel {
namespace {

// Answers the confirm boxes from a script and records what was asked.
struct ScriptedAnswers {
  std::vector<bool> answers;
  std::vector<QuitQuestion> asked;
  Confirm confirm() {
    return [this](QuitQuestion q) {
      asked.push_back(q);
      const bool ok = !answers.empty() && answers.front();
      if (!answers.empty()) answers.erase(answers.begin());
      return ok;
    };
  }
};

TEST(QuitRules, OkThenCancelKeepsTheWindowAndTheCloseBoxAsksAboutUnsavedChanges) {
  QuitRules rules;
  ScriptedAnswers user{{false, true}, {}};
  EXPECT_FALSE(rules.QuitWithSaving(user.confirm()));
  EXPECT_TRUE(rules.CloseQuery(user.confirm()));
  EXPECT_EQ(user.asked, (std::vector{QuitQuestion::SureToQuit, QuitQuestion::SureToQuitWithoutSaving}));
}

TEST(QuitRules, AConfirmedQuitIsNotAskedAgainWhenTheWindowCloses) {
  for (bool withSaving : {true, false}) {
    QuitRules rules;
    ScriptedAnswers user{{true}, {}};
    EXPECT_TRUE(withSaving ? rules.QuitWithSaving(user.confirm()) : rules.QuitWithoutSaving(user.confirm()));
    EXPECT_TRUE(rules.CloseQuery(user.confirm()));
    EXPECT_EQ(user.asked.size(), 1u);
    EXPECT_EQ(user.asked[0], withSaving ? QuitQuestion::SureToQuit : QuitQuestion::SureToQuitWithoutSaving);
  }
}

TEST(QuitRules, CancelledQuitWithoutSavingChangesNothing) {
  QuitRules rules;
  ScriptedAnswers user{{false, false}, {}};
  EXPECT_FALSE(rules.QuitWithoutSaving(user.confirm()));
  EXPECT_FALSE(rules.CloseQuery(user.confirm()));
  EXPECT_FALSE(rules.closeConfirmed);
}

TEST(PicturePoint, CursorMapsToThePicturesOwnPixelsAtEveryScale) {
  struct Case {
    int cursorX, cursorY, left, top, dpi;
    bool inside;
    int x, y;
  };
  const Case cases[] = {
      {109, 189, 100, 180, 96, true, 9, 9},
      {100, 180, 100, 180, 96, true, 0, 0},
      {99, 180, 100, 180, 96, false, 0, 0},
      {369, 427, 100, 180, 96, true, 269, 247},
      {370, 427, 100, 180, 96, false, 0, 0},
      {100, 428, 100, 180, 96, false, 0, 0},
      {115, 195, 100, 180, 144, true, 10, 10},
      {99, 179, 100, 180, 144, false, 0, 0},
      {504, 551, 100, 180, 144, true, 269, 247},
      {505, 551, 100, 180, 144, false, 0, 0},
      {-50, -40, -60, -50, 96, true, 10, 10},  // a window on a monitor left of the main one
  };
  for (const Case& c : cases) {
    const auto p = CursorToPicturePoint(c.cursorX, c.cursorY, c.left, c.top, c.dpi);
    ASSERT_EQ(p.has_value(), c.inside) << c.cursorX << "," << c.cursorY << " @" << c.dpi;
    if (p) {
      EXPECT_EQ(p->x, c.x);
      EXPECT_EQ(p->y, c.y);
    }
  }
}

}  // namespace
}  // namespace ringdeck::panel
