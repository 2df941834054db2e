#pragma once

#include <string>

namespace corvane::bench {

// A page of a form with count controls in a table, five to a row as order forms have them: a quantity
// box, a check box, a drop-down list of three options, a radio button (groups of ten rows) and a button.
inline std::string FormsPage(long count) {
  std::string text = "<form action=order><table border=1>";
  for (long i = 0; i < count; ++i) {
    const std::string n = std::to_string(i);
    switch (i % 5) {
      case 0: text += "<tr><td>Item " + n + "<td><input name=q" + n + " size=4 value=1>"; break;
      case 1: text += "<td><input type=checkbox name=c" + n + (i % 3 == 0 ? " checked>" : ">"); break;
      case 2: text += "<td><select name=s" + n + "><option>small<option selected>medium<option>large</select>"; break;
      case 3: text += "<td><input type=radio name=g" + std::to_string(i / 50) + " value=" + n + ">"; break;
      default: text += "<td><input type=submit name=b" + n + " value=Order>"; break;
    }
  }
  return text + "</table></form>";
}

}  // namespace corvane::bench
