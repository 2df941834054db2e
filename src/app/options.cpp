#include "app/options.h"

#include <algorithm>
#include <optional>

namespace corvane {

namespace {

constexpr std::size_t kHelpColumn = 26;  // where the descriptions of the help's option list start

const TOption* FindLong(TOptionTable table, std::string_view name) {
  const auto found = std::find_if(table.begin(), table.end(), [name](const TOption& option) { return option.Name == name; });
  return found == table.end() ? nullptr : &*found;
}

const TOption* FindToolkit(TOptionTable table, std::string_view name) {
  const TOption* option = FindLong(table, name);
  return option && option->Toolkit ? option : nullptr;
}

const TOption* FindLetter(TOptionTable table, char letter) {
  const auto found =
      std::find_if(table.begin(), table.end(), [letter](const TOption& option) { return option.Letter != 0 && option.Letter == letter; });
  return found == table.end() ? nullptr : &*found;
}

std::string MissingValue(const TOption& option, std::string_view written) {
  if (!option.MissingValue.empty()) return std::string(option.MissingValue);
  return "option '" + std::string(written) + "' needs a value";
}

std::string Unknown(std::string_view written) { return "unknown option '" + std::string(written) + "'"; }

}  // namespace

std::string ParseOptions(TOptionTable table, std::span<const std::string> args, const TOptionHandler& handle,
                         std::vector<std::string>& operands, std::size_t* optionsEnd) {
  if (optionsEnd) *optionsEnd = args.size();
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      if (optionsEnd) *optionsEnd = i;
      operands.insert(operands.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      return {};
    }
    if (arg.size() < 2 || arg[0] != '-') {
      operands.push_back(arg);
      continue;
    }
    // The value of an option that takes one: the rest of its argument, else the next argument.
    auto valueOf = [&](const TOption& option, std::string_view written, std::optional<std::string> attached,
                       std::string& value) -> std::string {
      if (attached) {
        value = std::move(*attached);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        return MissingValue(option, written);
      }
      return handle(option, written, value);
    };

    // A long option (--name, --name=VALUE), or one of the toolkit's written with one dash (-style).
    const bool doubleDash = arg[1] == '-';
    const std::string_view body = std::string_view(arg).substr(doubleDash ? 2 : 1);
    const std::size_t equals = body.find('=');
    const std::string_view name = body.substr(0, equals);
    const TOption* option = doubleDash ? FindLong(table, name) : FindToolkit(table, name);
    if (option) {
      const std::string_view written = std::string_view(arg).substr(0, (doubleDash ? 2 : 1) + name.size());
      std::string value;
      std::string error;
      if (option->Value.empty()) {
        if (equals != std::string_view::npos) return Unknown(arg);  // a flag takes no value
        error = handle(*option, written, value);
      } else {
        std::optional<std::string> attached;
        if (equals != std::string_view::npos) attached = std::string(body.substr(equals + 1));
        error = valueOf(*option, written, std::move(attached), value);
      }
      if (!error.empty()) return error;
      continue;
    }
    if (doubleDash) return Unknown(arg);

    // Short options, bundled or alone: -q, -qa, -o DIR, -oDIR, -qo DIR, -qoDIR.
    for (std::size_t k = 1; k < arg.size(); ++k) {
      const TOption* letter = FindLetter(table, arg[k]);
      const std::string written{'-', arg[k]};
      if (!letter) return Unknown(k == 1 ? arg : written);
      std::string value;
      std::string error;
      if (letter->Value.empty()) {
        error = handle(*letter, written, value);
      } else {
        std::optional<std::string> attached;
        if (k + 1 < arg.size()) attached = arg.substr(k + 1);
        error = valueOf(*letter, written, std::move(attached), value);
        k = arg.size();
      }
      if (!error.empty()) return error;
    }
  }
  return {};
}

std::string OptionList(TOptionTable table) {
  const bool letters = std::any_of(table.begin(), table.end(), [](const TOption& option) { return option.Letter != 0; });
  std::string list;
  for (const TOption& option : table) {
    if (option.Toolkit) continue;
    const std::size_t start = list.size();
    list += "  ";
    if (option.Letter != 0) {
      list += {'-', option.Letter, ',', ' '};
    } else if (letters) {
      list += "    ";
    }
    list += "--";
    list += option.Name;
    if (!option.Value.empty()) {
      list += ' ';
      list += option.Value;
    }
    const std::size_t width = list.size() - start;
    list.append(width + 2 <= kHelpColumn ? kHelpColumn - width : 2, ' ');
    std::string_view help = option.Help;
    for (;;) {
      const std::size_t end = help.find('\n');
      list += help.substr(0, end);
      list += '\n';
      if (end == std::string_view::npos) break;
      help.remove_prefix(end + 1);
      list.append(kHelpColumn, ' ');
    }
  }
  return list;
}

std::vector<std::string> OptionSpellings(TOptionTable table) {
  std::vector<std::string> spellings;
  for (const TOption& option : table) {
    if (option.Toolkit) continue;
    if (option.Letter != 0) spellings.push_back({'-', option.Letter});
    spellings.push_back("--" + std::string(option.Name));
  }
  return spellings;
}

}  // namespace corvane
