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
    // Gives the handler one option: a flag as it is; an option with a value, the value attached to it
    // ("--name=VALUE", "-oVALUE") or else the next argument.
    const auto take = [&](const TOption& option, std::string_view written,
                          std::optional<std::string_view> attached) -> std::string {
      std::string value;
      if (!option.Value.empty()) {
        if (attached) {
          value = *attached;
        } else if (i + 1 < args.size()) {
          value = args[++i];
        } else {
          return MissingValue(option, written);
        }
      }
      return handle(option, written, value);
    };

    // A long option (--name, --name=VALUE), or one of the toolkit's written with one dash (-style).
    const bool doubleDash = arg[1] == '-';
    const std::size_t dashes = doubleDash ? 2 : 1;
    const std::string_view body = std::string_view(arg).substr(dashes);
    const std::size_t equals = body.find('=');
    const std::string_view name = body.substr(0, equals);
    if (const TOption* option = doubleDash ? FindLong(table, name) : FindToolkit(table, name)) {
      if (option->Value.empty() && equals != std::string_view::npos) return Unknown(arg);  // a flag takes no value
      std::optional<std::string_view> attached;
      if (equals != std::string_view::npos) attached = body.substr(equals + 1);
      const std::string error = take(*option, std::string_view(arg).substr(0, dashes + name.size()), attached);
      if (!error.empty()) return error;
      continue;
    }
    if (doubleDash) return Unknown(arg);

    // Short options, bundled or alone: -q, -qa, -o DIR, -oDIR, -qo DIR, -qoDIR.
    for (std::size_t k = 1; k < arg.size(); ++k) {
      const TOption* option = FindLetter(table, arg[k]);
      const std::string written{'-', arg[k]};
      if (!option) return Unknown(k == 1 ? arg : written);
      // An option with a value takes the rest of the bundle, if any.
      const bool last = !option->Value.empty();
      std::optional<std::string_view> attached;
      if (last && k + 1 < arg.size()) attached = std::string_view(arg).substr(k + 1);
      const std::string error = take(*option, written, attached);
      if (!error.empty()) return error;
      if (last) break;
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
