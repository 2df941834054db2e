#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// One option of a command, as its table lists it: from the table come the parsing, the option list of
// the help, and the check of the man page and the completions.
struct TOption {
  std::string_view Name{};        // the long name without its dashes: "output-dir" for --output-dir
  char Letter = 0;                // the short name: 'o' for -o; 0 when there is none
  std::string_view Value{};        // what the value is called in the help ("DIR"); empty for a flag
  std::string_view Help{};        // the description in the help, its lines separated by '\n'
  std::string_view MissingValue{};  // the usage error for a missing value; empty: "option 'NAME' needs a value"
  // One of the toolkit's own options (-style NAME): written with one dash or two, left in argv for the
  // application object, and neither in the help's list nor in the man page's.
  bool Toolkit = false;
};

using TOptionTable = std::span<const TOption>;

// What a command does with an option as it is read, in the order given: written is the option as the
// command line spells it ("-o", "--output-dir"), value its value (empty for a flag). Returns a usage
// error, or an empty text when the option is taken.
using TOptionHandler = std::function<std::string(const TOption& option, std::string_view written, const std::string& value)>;

// Reads args by the table, the same way for every command:
//   --name VALUE, --name=VALUE, -x VALUE, -xVALUE    an option with a value (the value may start with '-')
//   --name, -x, -qa                                  flags; short flags may be bundled, the last of a
//                                                    bundle may take a value (-qo DIR, -qoDIR)
//   --                                               ends the options: every later argument is an operand
//   -, and anything not starting with '-'             an operand
// Operands are added to operands in order; optionsEnd, when given, is set to the position of the "--"
// that ended the options (args.size() when none did). Returns the first usage error, an empty text when there is
// none: "unknown option '--fast'" (the argument as given; '-z' for a letter unknown after a known one
// in a bundle), "option '-o' needs a value" (or the option's own MissingValue), or the handler's.
std::string ParseOptions(TOptionTable table, std::span<const std::string> args, const TOptionHandler& handle,
                         std::vector<std::string>& operands, std::size_t* optionsEnd = nullptr);

// The help's list of the options: "  -o, --output-dir DIR    write ...", the descriptions in one column
// (26 characters in), a description's further lines below its first. The column of short names is
// left out when no option has one. Toolkit options are not listed.
std::string OptionList(TOptionTable table);

// Every way the table's options are written on the command line, short and long: "-o", "--output-dir".
// Toolkit options are left out.
std::vector<std::string> OptionSpellings(TOptionTable table);

}  // namespace corvane
