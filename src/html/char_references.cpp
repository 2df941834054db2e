#include "html/char_references.h"

#include <algorithm>
#include <array>

#include "html/html_reader.h"

namespace corvane {

namespace {

struct TEntity {
  std::string_view Name;
  char16_t CodePoint;
};

constexpr std::array<TEntity, kEntityCount> kEntities = {{
    // Latin-1 characters.
    {"nbsp", 160}, {"iexcl", 161}, {"cent", 162}, {"pound", 163}, {"curren", 164}, {"yen", 165}, {"brvbar", 166},
    {"sect", 167}, {"uml", 168}, {"copy", 169}, {"ordf", 170}, {"laquo", 171}, {"not", 172}, {"shy", 173},
    {"reg", 174}, {"macr", 175}, {"deg", 176}, {"plusmn", 177}, {"sup2", 178}, {"sup3", 179}, {"acute", 180},
    {"micro", 181}, {"para", 182}, {"middot", 183}, {"cedil", 184}, {"sup1", 185}, {"ordm", 186}, {"raquo", 187},
    {"frac14", 188}, {"frac12", 189}, {"frac34", 190}, {"iquest", 191}, {"Agrave", 192}, {"Aacute", 193},
    {"Acirc", 194}, {"Atilde", 195}, {"Auml", 196}, {"Aring", 197}, {"AElig", 198}, {"Ccedil", 199}, {"Egrave", 200},
    {"Eacute", 201}, {"Ecirc", 202}, {"Euml", 203}, {"Igrave", 204}, {"Iacute", 205}, {"Icirc", 206}, {"Iuml", 207},
    {"ETH", 208}, {"Ntilde", 209}, {"Ograve", 210}, {"Oacute", 211}, {"Ocirc", 212}, {"Otilde", 213}, {"Ouml", 214},
    {"times", 215}, {"Oslash", 216}, {"Ugrave", 217}, {"Uacute", 218}, {"Ucirc", 219}, {"Uuml", 220}, {"Yacute", 221},
    {"THORN", 222}, {"szlig", 223}, {"agrave", 224}, {"aacute", 225}, {"acirc", 226}, {"atilde", 227}, {"auml", 228},
    {"aring", 229}, {"aelig", 230}, {"ccedil", 231}, {"egrave", 232}, {"eacute", 233}, {"ecirc", 234}, {"euml", 235},
    {"igrave", 236}, {"iacute", 237}, {"icirc", 238}, {"iuml", 239}, {"eth", 240}, {"ntilde", 241}, {"ograve", 242},
    {"oacute", 243}, {"ocirc", 244}, {"otilde", 245}, {"ouml", 246}, {"divide", 247}, {"oslash", 248},
    {"ugrave", 249}, {"uacute", 250}, {"ucirc", 251}, {"uuml", 252}, {"yacute", 253}, {"thorn", 254}, {"yuml", 255},
    // Symbols, mathematical symbols and Greek letters.
    {"fnof", 402}, {"Alpha", 913}, {"Beta", 914}, {"Gamma", 915}, {"Delta", 916}, {"Epsilon", 917}, {"Zeta", 918},
    {"Eta", 919}, {"Theta", 920}, {"Iota", 921}, {"Kappa", 922}, {"Lambda", 923}, {"Mu", 924}, {"Nu", 925},
    {"Xi", 926}, {"Omicron", 927}, {"Pi", 928}, {"Rho", 929}, {"Sigma", 931}, {"Tau", 932}, {"Upsilon", 933},
    {"Phi", 934}, {"Chi", 935}, {"Psi", 936}, {"Omega", 937}, {"alpha", 945}, {"beta", 946}, {"gamma", 947},
    {"delta", 948}, {"epsilon", 949}, {"zeta", 950}, {"eta", 951}, {"theta", 952}, {"iota", 953}, {"kappa", 954},
    {"lambda", 955}, {"mu", 956}, {"nu", 957}, {"xi", 958}, {"omicron", 959}, {"pi", 960}, {"rho", 961},
    {"sigmaf", 962}, {"sigma", 963}, {"tau", 964}, {"upsilon", 965}, {"phi", 966}, {"chi", 967}, {"psi", 968},
    {"omega", 969}, {"thetasym", 977}, {"upsih", 978}, {"piv", 982}, {"bull", 8226}, {"hellip", 8230},
    {"prime", 8242}, {"Prime", 8243}, {"oline", 8254}, {"frasl", 8260}, {"weierp", 8472}, {"image", 8465},
    {"real", 8476}, {"trade", 8482}, {"alefsym", 8501}, {"larr", 8592}, {"uarr", 8593}, {"rarr", 8594},
    {"darr", 8595}, {"harr", 8596}, {"crarr", 8629}, {"lArr", 8656}, {"uArr", 8657}, {"rArr", 8658}, {"dArr", 8659},
    {"hArr", 8660}, {"forall", 8704}, {"part", 8706}, {"exist", 8707}, {"empty", 8709}, {"nabla", 8711},
    {"isin", 8712}, {"notin", 8713}, {"ni", 8715}, {"prod", 8719}, {"sum", 8721}, {"minus", 8722}, {"lowast", 8727},
    {"radic", 8730}, {"prop", 8733}, {"infin", 8734}, {"ang", 8736}, {"and", 8743}, {"or", 8744}, {"cap", 8745},
    {"cup", 8746}, {"int", 8747}, {"there4", 8756}, {"sim", 8764}, {"cong", 8773}, {"asymp", 8776}, {"ne", 8800},
    {"equiv", 8801}, {"le", 8804}, {"ge", 8805}, {"sub", 8834}, {"sup", 8835}, {"nsub", 8836}, {"sube", 8838},
    {"supe", 8839}, {"oplus", 8853}, {"otimes", 8855}, {"perp", 8869}, {"sdot", 8901}, {"lceil", 8968},
    {"rceil", 8969}, {"lfloor", 8970}, {"rfloor", 8971}, {"lang", 9001}, {"rang", 9002}, {"loz", 9674},
    {"spades", 9824}, {"clubs", 9827}, {"hearts", 9829}, {"diams", 9830},
    // Markup-significant and internationalisation characters.
    {"quot", 34}, {"amp", 38}, {"lt", 60}, {"gt", 62}, {"OElig", 338}, {"oelig", 339}, {"Scaron", 352},
    {"scaron", 353}, {"Yuml", 376}, {"circ", 710}, {"tilde", 732}, {"ensp", 8194}, {"emsp", 8195}, {"thinsp", 8201},
    {"zwnj", 8204}, {"zwj", 8205}, {"lrm", 8206}, {"rlm", 8207}, {"ndash", 8211}, {"mdash", 8212}, {"lsquo", 8216},
    {"rsquo", 8217}, {"sbquo", 8218}, {"ldquo", 8220}, {"rdquo", 8221}, {"bdquo", 8222}, {"dagger", 8224},
    {"Dagger", 8225}, {"permil", 8240}, {"lsaquo", 8249}, {"rsaquo", 8250}, {"euro", 8364},
    // Read in text as the typographic apostrophe.
    {"apos", 8217},
}};

constexpr std::array<TEntity, kEntityCount> SortedEntities() {
  std::array<TEntity, kEntityCount> sorted = kEntities;
  std::sort(sorted.begin(), sorted.end(), [](const TEntity& a, const TEntity& b) { return a.Name < b.Name; });
  return sorted;
}

// Sorted once, when the program is built.
constexpr std::array<TEntity, kEntityCount> kSortedEntities = SortedEntities();

constexpr std::size_t kMaxEntityName = 11;
constexpr std::uint32_t kBeyondUnicode = 0x110000;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlphanumeric(char c) { return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<char16_t> LookupEntity(std::string_view name) {
  const auto it = std::lower_bound(kSortedEntities.begin(), kSortedEntities.end(), name,
                                   [](const TEntity& entity, std::string_view key) { return entity.Name < key; });
  if (it == kSortedEntities.end() || it->Name != name) return std::nullopt;
  return it->CodePoint;
}

void THtmlReader::ReadReference(TReference& reference) {
  reference = TReference{};
  reference.Index = m_position;
  const auto keep = [&reference](char c, int index) {
    reference.Kept[reference.KeptCount] = c;
    reference.KeptIndex[reference.KeptCount++] = index;
  };
  keep('&', m_position);
  NextChar();
  if (m_ch == '#') {
    keep('#', m_position);
    NextChar();
    std::uint32_t value = 0;
    bool digits = false;
    if (m_ch == 'x' || m_ch == 'X') {
      keep(m_ch, m_position);
      NextChar();
      for (int digit; (digit = HexValue(m_ch)) >= 0; NextChar()) {
        value = std::min<std::uint32_t>(value * 16 + static_cast<std::uint32_t>(digit), kBeyondUnicode);
        digits = true;
      }
    } else {
      for (; IsDigit(m_ch); NextChar()) {
        value = std::min<std::uint32_t>(value * 10 + static_cast<std::uint32_t>(m_ch - '0'), kBeyondUnicode);
        digits = true;
      }
    }
    if (!digits) return;
    reference.Kind = TReference::TKind::Numeric;
    reference.Value = value;
  } else {
    char name[kMaxEntityName];
    std::size_t length = 0;
    for (; IsAlphanumeric(m_ch) && length < kMaxEntityName; NextChar()) {
      name[length++] = m_ch;
      keep(m_ch, m_position);
    }
    if (length == 0) return;
    std::optional<char16_t> codePoint = LookupEntity(std::string_view(name, length));
    if (!codePoint && m_browserRules) {
      // The longest Latin-1 name the name begins with, as browsers read "&notit;" (those names were
      // once written without ";").
      for (std::size_t prefix = length - 1; prefix >= 2 && !codePoint; --prefix) {
        codePoint = LookupEntity(std::string_view(name, prefix));
        if (codePoint && *codePoint > 0xFF) codePoint.reset();
        if (codePoint) reference.PrefixLength = static_cast<int>(prefix);
      }
      if (!codePoint) return;
      reference.Kind = TReference::TKind::Named;
      reference.Value = *codePoint;
      return;  // the rest of the name, and a ";" after it, are text
    }
    if (!codePoint) return;
    reference.Kind = TReference::TKind::Named;
    reference.Value = *codePoint;
  }
  if (m_ch == ';') {
    reference.Semicolon = true;
    NextChar();
  }
}

void THtmlReader::DecodeReferenceToToken(TokenObj& token, int codePage) {
  TReference reference;
  ReadReference(reference);
  const int index = reference.Index;
  if (reference.Kind == TReference::TKind::NotDecoded) {
    for (int k = 0; k < reference.KeptCount; ++k)
      token.Add(static_cast<unsigned char>(reference.Kept[k]), reference.KeptIndex[k]);
    return;
  }
  const std::uint32_t value = reference.Value;
  if (m_browserRules && value < 32) {
    const bool blank = value == '\t' || value == '\n' || value == '\f' || value == '\r';
    token.Add(blank ? static_cast<char16_t>(value) : u'\xFFFD', index);
  } else if (reference.Kind == TReference::TKind::Numeric && value >= 127 && value <= 159) {
    // Numbered as a byte of the code page, as pages written for it number them: &#150; is its dash.
    const char byte = static_cast<char>(value);
    token.AddConverted(std::string_view(&byte, 1), &index, codePage, m_converter);
  } else if (value == '\t') {
    token.Add(u' ', index);
  } else if (value < 32) {
    token.Add(u'?', index);
  } else if (value >= kBeyondUnicode || (value >= 0xD800 && value <= 0xDFFF)) {
    token.Add(u'\xFFFD', index);
  } else if (value >= 0x10000) {
    token.Add(static_cast<char16_t>(0xD800 + ((value - 0x10000) >> 10)), index);
    token.Add(static_cast<char16_t>(0xDC00 + ((value - 0x10000) & 0x3FF)), index);
  } else {
    token.Add(static_cast<char16_t>(value), index);
  }
  for (int k = 1 + reference.PrefixLength; reference.PrefixLength > 0 && k < reference.KeptCount; ++k)
    token.Add(static_cast<unsigned char>(reference.Kept[k]), reference.KeptIndex[k]);
}

std::string THtmlReader::DecodeReferenceToText(int codePage) {
  TReference reference;
  ReadReference(reference);
  // A name that only begins with an entity's is not one in an attribute value: "?a=1&notify=2".
  const bool decoded = reference.Kind != TReference::TKind::NotDecoded && reference.PrefixLength == 0 &&
                       // "?a=1&lang=en" in an address: a name without ";" is only taken for Latin-1.
                       !(reference.Kind == TReference::TKind::Named && !reference.Semicolon && reference.Value > 255);
  if (!decoded) return std::string(reference.Kept, static_cast<std::size_t>(reference.KeptCount));
  const std::uint32_t value = reference.Value;
  if (value == '\t') return " ";
  if (value < 32) return "?";
  if (reference.Kind == TReference::TKind::Numeric && value >= 127 && value <= 159)
    return std::string(1, static_cast<char>(value));
  std::string text;
  m_converter.AppendEncoded(value, codePage, text);
  return text;
}

}  // namespace corvane
