// SPDX-License-Identifier: Apache-2.0
// The writers of help, man pages and completion: what they must not get
// wrong whatever the descriptions say, and the orvex table's own soundness.
#include <gtest/gtest.h>

#include <set>

#include "cli/command_docs.h"
#include "manual/completion.h"
#include "manual/help_text.h"
#include "manual/man_page.h"

namespace orvex::manual {
namespace {

TEST(Manual, RoffTextCannotBecomeARequest) {
  const std::pair<std::string, std::string> kCases[] = {
      {".hidden line", "\\&.hidden line"},         // would be a roff request
      {"'quoted", "\\&'quoted"},                    // so would this
      {"a\n.b", "a\n\\&.b"},                        // at any line's start
      {"x.y 'z'", "x.y 'z'"},                       // elsewhere as it is
      {"--no-joliet", "\\-\\-no\\-joliet"},         // minus signs, not hyphens
      {"escapes (\\n, \\\\)", "escapes (\\en, \\e\\e)"},
  };
  for (const auto& [text, roff] : kCases) EXPECT_EQ(RoffText(text), roff) << text;
}

TEST(Manual, HelpWrapsAndAlignsOptions) {
  EXPECT_EQ(Wrap("one two three four", 2, 12), "  one two\n  three four\n");
  EXPECT_EQ(Wrap("a\n\nb", 0), "a\n\nb\n");
  EXPECT_EQ(OptionLines({{"-V", "--volume"}, "LABEL", "the label"}), "  -V, --volume LABEL    the label\n");
  EXPECT_EQ(OptionLines({{"--no-underrun-protection"}, "", "x"}),
            "  --no-underrun-protection\n                        x\n");
}

TEST(Manual, ZshDescriptionsAreQuoted) {
  TProgram program;
  program.name = "prog";
  program.commands = {{"run", "", "it's [the] run: all", "", {{{{"--x"}, "N", "a [b]: c's"}}}}};
  const std::string script = ZshCompletion(program);
  EXPECT_NE(script.find("'run:it'\\''s \\[the\\] run\\: all'"), std::string::npos) << script;
  EXPECT_NE(script.find("'--x[a \\[b\\]\\: c'\\''s]:N: '"), std::string::npos) << script;
}

// Every option name is one option's only: the parser would take the first.
TEST(Manual, OrvexOptionNamesAreUnique) {
  for (const TCommand& command : cli::OrvexProgram().commands) {
    std::set<std::string> names;
    for (const TOptionGroup& group : command.options) {
      for (const TOption& option : group) {
        for (const std::string& name : option.names) EXPECT_TRUE(names.insert(name).second) << command.name << " " << name;
      }
    }
    EXPECT_TRUE(names.count("--help") && names.count("--version")) << command.name;
  }
}

}  // namespace
}  // namespace orvex::manual
