#include "command_line.h"

#include <gtest/gtest.h>

namespace ringdeck::engine {
namespace {

TEST(CommandLine, KeywordAnywhereInAnyCaseDecides) {
  struct Case {
    const char* args;
    EngineCommand expected;
  };
  const Case cases[] = {
      {"", EngineCommand::None},
      {"   ", EngineCommand::None},
      {"run install remove", EngineCommand::None},
      {"-run", EngineCommand::Run},
      {"-RUN", EngineCommand::Run},
      {"  -Install", EngineCommand::Install},
      {"-remove", EngineCommand::Remove},
      {"foo -ReMoVe bar", EngineCommand::Remove},
      {"-runaway", EngineCommand::Run},           // followed by other characters
      {"x-install", EngineCommand::Install},      // found from inside a word too
      {"-remove -run", EngineCommand::Remove},    // the first position that matches decides
      {"-ru -instal -remov", EngineCommand::None},
      {"\t-run", EngineCommand::Run},
      {"\xE9-install", EngineCommand::Install},  // a character above 127 is above the blank
  };
  for (const Case& c : cases) EXPECT_EQ(scanCommandLine(c.args), c.expected) << '"' << c.args << '"';
}

}  // namespace
}  // namespace ringdeck::engine
