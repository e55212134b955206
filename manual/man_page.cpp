// SPDX-License-Identifier: Apache-2.0
#include "manual/man_page.h"

#include <cctype>

namespace orvex::manual {
namespace {

std::string Bold(const std::string& text) { return "\\fB" + RoffText(text) + "\\fR"; }
std::string Italic(const std::string& text) { return "\\fI" + RoffText(text) + "\\fR"; }

bool IsCapital(char c) { return std::isupper(static_cast<unsigned char>(c)) || c == '_'; }
bool IsLetter(size_t i, const std::string& text) {
  return i < text.size() && std::isalpha(static_cast<unsigned char>(text[i]));
}

// Upper-case words (FILE, N, SOURCE...) in italics, as man pages show what
// the user fills in; the rest (options, brackets, dots) as it is.
std::string Synopsis(const std::string& text) {
  std::string out, plain;
  for (size_t i = 0; i < text.size();) {
    size_t end = i;
    while (end < text.size() && IsCapital(text[end])) ++end;
    if (end > i && (i == 0 || !IsLetter(i - 1, text)) && !IsLetter(end, text)) {
      out += RoffText(plain) + Italic(text.substr(i, end - i));
      plain.clear();
      i = end;
    } else {
      plain += text[i++];
    }
  }
  return out + RoffText(plain);
}

// Each paragraph of `text` its own .PP.
std::string PlainParagraphs(const std::string& text) {
  std::string out;
  for (std::string paragraph : Paragraphs(text)) {
    for (char& c : paragraph) c = c == '\n' ? ' ' : c;
    out += ".PP\n" + RoffText(paragraph) + "\n";
  }
  return out;
}

std::string Tagged(const std::string& tag, const std::string& text) { return ".TP\n" + tag + "\n" + RoffText(text) + "\n"; }

std::string OptionItem(const TOption& option) {
  std::string tag;
  for (const std::string& name : option.names) tag += (tag.empty() ? "" : ", ") + Bold(name);
  if (option.TakesValue()) tag += " " + Italic(option.value);
  return Tagged(tag, option.help);
}

std::string CommandSection(const TProgram& program, const TCommand& command) {
  std::string out = ".SS " + RoffText(command.name) + "\n" + Bold(program.name + " " + command.name) + " " +
                    Synopsis(command.synopsis) + "\n" + PlainParagraphs(command.description);
  for (const TOptionGroup& group : command.options) {
    for (const TOption& option : group) out += OptionItem(option);
  }
  return out;
}

std::string Examples(const TProgram& program) {
  std::string out = ".SH EXAMPLES\n";
  for (const TExample& example : program.examples) {
    out += ".PP\n" + RoffText(example.comment) + "\n.PP\n.RS 4\n.EX\n" + RoffText(example.command) + "\n.EE\n.RE\n";
  }
  return out;
}

}  // namespace

std::string RoffText(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      if ((c == '.' || c == '\'') && (out.empty() || out.back() == '\n')) out += "\\&";
      out += c;
    }
  }
  return out;
}

std::string ManPage(const TProgram& program) {
  std::string upper;
  for (char c : program.name) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::string out = ".\\\" Made from the program's own command table; edit that, not this.\n.TH " + upper + " 1 \"\" \"" +
                    RoffText(VersionLine(program)) + "\" \"User Commands\"\n.nh\n.ad l\n";
  out += ".SH NAME\n" + RoffText(program.name) + " \\- " + RoffText(program.summary) + "\n";
  out += ".SH SYNOPSIS\n";
  if (program.command_help) {
    out += Bold(program.name) + " " + Synopsis(program.synopsis) + "\n";
  } else {
    for (const TCommand& command : program.commands) {
      out += ".br\n" + Bold(program.name + " " + command.name) + " " + Synopsis(command.synopsis) + "\n";
    }
  }
  out += ".br\n" + Bold(program.name) + " " + Bold("--help") + " | " + Bold("--version") + "\n";
  out += ".SH DESCRIPTION\n" + PlainParagraphs(program.description);
  out += ".SH OPTIONS\n";
  for (const TOption& option : program.options) out += OptionItem(option);
  out += ".SH COMMANDS\n";
  for (const TCommand& command : program.commands) out += CommandSection(program, command);
  for (const TSection& section : program.sections) {
    out += ".SH " + RoffText(section.title) + "\n";
    for (const TItem& item : section.items) {
      out += item.tag.empty() ? PlainParagraphs(item.text) : Tagged(Bold(item.tag), item.text);
    }
  }
  if (!program.examples.empty()) out += Examples(program);
  if (!program.see_also.empty()) {
    out += ".SH \"SEE ALSO\"\n";
    for (size_t i = 0; i < program.see_also.size(); ++i) {
      const std::string& page = program.see_also[i];
      const size_t paren = page.find('(');
      out += Bold(page.substr(0, paren)) + RoffText(page.substr(paren)) + (i + 1 < program.see_also.size() ? ",\n" : "\n");
    }
  }
  return out;
}

}  // namespace orvex::manual
