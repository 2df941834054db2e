#pragma once

#include <memory>
#include <string>
#include <vector>

#include "layout/section_base.h"
#include "style/box_values.h"
#include "style/font_list.h"
#include "style/small_list.h"

namespace corvane {

class IndentManager;
class TAttributeList;
class TCharWidths;
class TFloatingObj;
class TFormControlObj;
class TProperties;
class TUrlTarget;
class TokenObj;

// Where the source positions of a section's characters stop being consecutive: from character Pos on,
// the source positions count up from Index.
struct IndexObj {
  int Pos = 0;
  int Index = 0;
};

// The part of an inline element's border box that falls on one line.
struct BorderRec {
  TMarginArray MargArray;
  int Start = 0;  // first and last character of the element on the line (section indices)
  int End = 0;
  bool OpenStart = false;  // the element began on an earlier line
  bool OpenEnd = false;    // and goes on after this one
  QRect Box;               // the characters' text box at the first paint (document y)
};

// One line of a text section.
struct LineRec {
  int Start = 0;        // index of the first character
  int Top = 0;          // document y of the line's band
  int SpaceBefore = 0;
  int SpaceAfter = 0;
  int LineHt = 0;       // text height: the largest font height on the line
  int LineImgHt = 0;    // height with the floats started on the line
  int Ln = 0;           // characters
  int Descent = 0;
  int LineIndent = 0;   // x of the line start relative to the section's x
  int DrawXX = 0;       // x at which the line was last drawn
  int DrawY = 0;        // document y of the top of the text at the last paint
  int DrawWidth = 0;    // band width at the line's y
  int Spaces = 0;       // spaces (32 or 160) before the last character, for justification
  int Extra = 0;        // pixels spread over those spaces
  bool Shy = false;     // ends at a soft hyphen: a "-" is drawn after it
  bool FirstDraw = true;
  int FirstX = 0;
  // The inline borders of the line's last paint; only lines that have some keep a list.
  std::unique_ptr<std::vector<BorderRec>> BorderList;

  int BandHeight() const { return SpaceBefore + LineHt + SpaceAfter; }
};

// One run of inline content between block boundaries: characters in several fonts, pictures and panels
// (code 4), form controls (code 2) and line breaks (code 8), broken into lines inside the band that the
// indentation manager leaves free at each y.
class TSection : public TSectionBase {
 public:
  // paragraphStart enables the first-line indent; link is the open link, if any.
  TSection(TSectionList* ownerList, bool paragraphStart, const TUrlTarget* link, TProperties& properties,
           const TAttributeList* attributes);
  ~TSection() override;

  // Building.
  virtual void AddChar(char16_t c, int sourcePosition);
  // Adds the characters of a token; noBreak gives them no break opportunities.
  virtual void AddText(const TokenObj& token, bool noBreak);
  void AddText(const char16_t* chars, const int* sources, int count, bool noBreak);
  virtual void Finish(int sourcePosition);
  // A new font run at the current end for the element's properties; keeps the open link.
  void ChangeFont(TProperties& properties);
  // A link begins (a link run from here) or ends.
  void StartLink(const TUrlTarget& link, TProperties& properties);
  void EndLink(TProperties& properties);
  // An explicit break opportunity after the last character (WBR).
  void AddBreakOpportunity();
  // Places an object at the current end.
  void AddObject(std::unique_ptr<TFloatingObj> object, int sourcePosition);
  void AddFormControl(TFormControlObj& control, int sourcePosition);
  void SetClear(int clear) { ClearAttr = clear; }
  void MarkAnchor() { AnchorName = true; }

  // What keeps an empty section in its content list.
  virtual bool IsPreformatted() const { return false; }
  bool HoldsAnchor() const { return AnchorName; }
  bool HasClear() const { return ClearAttr != 0; }
  bool HasFormControls() const { return !Controls().empty(); }
  // Registers the element's id once the section is kept in the document.
  void RegisterId();
  // Frees what only the building of the section needed; after RegisterId, the section takes no more text.
  void DropBuildState();

  const std::u16string& Text() const { return Buff; }
  const std::string& BreakFlags() const { return Brk; }
  const std::vector<LineRec>& Lines() const { return m_lines; }
  const TSmallList<IndexObj, 2>& SourceIndex() const { return SIndexList; }
  const TFontList& Fonts() const { return m_fonts; }
  const std::vector<std::unique_ptr<TFloatingObj>>& Images() const {
    return m_objects ? m_objects->Images : s_noImages;
  }
  const std::vector<TFormControlObj*>& Controls() const {
    return m_objects ? m_objects->Controls : s_noControls;
  }
  int Justify() const { return m_justify; }
  int LineHeight() const { return m_lineHeight; }
  int FirstLineIndent() const { return m_firstLineIndent; }

  int LayOut(const TLayoutArgs& args, int& MaxWidth, int& Curs) override;
  int Paint(QPainter& canvas, const TPaintArgs& args) override;
  int LinkAt(int X, int Y, TLinkAtResult& result) override;
  bool ObjectAt(int X, int Y, TObjectAtPoint& result) override;
  int CharIndexAt(int X, int Y, TCharAtPoint& result) override;
  int FindText(int from, const std::u16string& text, bool matchCase) override;
  int FindTextBackward(int from, const std::u16string& text, bool matchCase) override;
  int SourcePosOf(int index) override;
  int DocPosOf(int sourcePosition, bool previous) override;
  bool CharIndexToXY(int index, int& X, int& Y) override;
  bool CharAt(int index, char16_t& ch, TSectionBase*& object) override;
  void GetMinMaxWidth(int& Min, int& Max) override;
  void CopySelection() override;
  void CollectSections(std::vector<TSection*>& sections) override { sections.push_back(this); }
  // Each line and each floating picture is kept whole.
  void CollectPageBreaks(TPageBreakCollector& collector) override;
  bool IsTextSection() const override { return true; }
  // The source position of the last character; -1 for an empty section.
  int LastSourcePosition() const;

  // Whether a layout at another y (same width) would give the same lines moved down: no pictures or
  // controls, whose sizes and places depend on more than the width.
  bool CanTranslate() const;
  // Moves the laid-out section down by dy, and its characters on by dCurs.
  void Translate(int dy, int dCurs);

 protected:
  // The widths of the characters, measured with their fonts: Widths[i] is the width of character i
  // (objects by their boxes, floats 0). Filled at the start of each layout.
  void MeasureCharacters();
  int FontWidthOf(int from, int to) const;  // [from, to) with the fonts, objects by their boxes

  std::u16string Buff;
  std::string Brk;  // one break flag per character and a final "y"
  TSmallList<IndexObj, 2> SIndexList;
  TFontList m_fonts;
  // Pictures, panels and form controls, which most sections lack.
  struct TObjects {
    std::vector<std::unique_ptr<TFloatingObj>> Images;  // in order of position
    std::vector<TFormControlObj*> Controls;             // owned by their forms
  };
  std::unique_ptr<TObjects> m_objects;
  // What sections without objects answer; asked for in every layout, so read without a guard.
  static const std::vector<std::unique_ptr<TFloatingObj>> s_noImages;
  static const std::vector<TFormControlObj*> s_noControls;
  std::vector<LineRec> m_lines;
  bool m_textMeasured = false;  // m_sums holds the widths of the text characters
  std::vector<int> m_sums;      // m_sums[i] = width of characters [0, i), from the last MeasureCharacters
  int CharWidth(int i) const {
    return m_sums[static_cast<std::size_t>(i) + 1] - m_sums[static_cast<std::size_t>(i)];
  }

  int m_justify = 1;  // 1 left, 2 centre, 3 right, 4 justify
  int ClearAttr = 0;
  int m_lineHeight = -1;
  int m_firstLineIndent = 0;
  int m_percentIndent = 0;
  bool m_breakWord = false;
  int m_minCache = 0;
  int m_maxCache = 0;
  bool m_minMaxValid = false;
  int m_sectionNumber = 0;
  int m_progressCycle = -1;
  int DrawWidth = 0;
  int m_paintX = 0;  // the x of the last paint
  bool AnchorName = false;
  // Building state.
  // What only the building of the section needs; dropped when it is finished.
  struct TBuildState {
    std::vector<int> SourceOfChar;  // the source position of each character
    // Room for the text and its break flags, lent to the section while it is built (the text then grows
    // without moving) and kept for the next section; the section keeps its text at its size.
    std::u16string TextRoom;
    std::string BreakRoom;
    int TextTransform = 0;
    bool SmallCaps = false;
    bool InSmallCapsRun = false;
    std::unique_ptr<TMyFont> NormalFont;  // the fonts of small capitals: the run's own
    std::unique_ptr<TMyFont> SmallFont;   // and one step smaller
    std::unique_ptr<TUrlTarget> Link;     // the open link
    std::unique_ptr<TFontInfoArray> LinkFonts;
    std::string RunTitle;
    std::uint8_t ScriptShift = 0;
    std::string IdName;  // the element's ID, registered when the section is kept

    // Back to the state of a new section, keeping the room of the lists and texts: a member added above
    // is reset here too (this is cheaper than assigning a new state, a percent of a large page's build).
    void Clear() {
      SourceOfChar.clear();
      TextRoom.clear();
      BreakRoom.clear();
      TextTransform = 0;
      SmallCaps = InSmallCapsRun = false;
      NormalFont.reset();
      SmallFont.reset();
      Link.reset();
      LinkFonts.reset();
      RunTitle.clear();
      ScriptShift = 0;
      IdName.clear();
    }
  };
  TBuildState& B();
  std::unique_ptr<TBuildState> m_build;
  bool m_finished = false;

  void AppendChar(char16_t c, int source, char flag);
  void BuildSourceIndex();
  // Keeps the finished text at its size and gives the room it was built in back to the building state.
  void GiveBackTextRoom();

 private:
  friend class TLineBuilder;
  friend class TLineWalker;
  struct TFitResult;

  void StartRun(const TMyFont& font);
  TFloatingObj* ImageAt(int position) const;
  TFormControlObj* ControlAt(int position) const;
  int LineOfY(int y) const;  // the line whose band holds y; -1 when none
  int LineOfIndex(int index) const;
  // Width of characters [from, to) of a line drawn with its justification.
  int JustifiedWidth(const LineRec& line, int from, int to) const;
  int CharsFitting(const LineRec& line, int width) const;
  void PaintLine(QPainter& canvas, LineRec& line, int x, int textBottom, const TPaintArgs& args);
  void PrepareInlineBorders(LineRec& line);
  void PaintInlineBorders(QPainter& canvas, LineRec& line, int x);
};

// Preformatted text: no clean-up, no breaking (unless break word), every space kept.
class TPreFormated final : public TSection {
 public:
  using TSection::TSection;

  void Finish(int sourcePosition) override;
  bool IsPreformatted() const override { return true; }
  int LayOut(const TLayoutArgs& args, int& MaxWidth, int& Curs) override;
  void GetMinMaxWidth(int& Min, int& Max) override;
};

}  // namespace corvane
