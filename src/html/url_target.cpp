#include "html/url_target.h"

#include <atomic>

#include "html/attribute_list.h"

namespace corvane {

namespace {

// Links are numbered across all documents, so that copies of a target kept by the layout (and by documents
// copied for printing) never mistake one link for another.
std::atomic<int> g_lastLinkId{0};

}  // namespace

void TUrlTarget::Assign(std::string_view url, std::string_view target, int sourcePosition,
                        const TAttributeList* attributes) {
  Url = std::string(url);
  Target = std::string(target);
  LinkId = ++g_lastLinkId;
  StartPos = sourcePosition;
  Attributes.clear();
  if (!attributes) return;
  for (const std::string& line : attributes->NameValueList()) {
    if (!Attributes.empty()) Attributes += "\r\n";
    Attributes += line;
  }
}

void TUrlTarget::Clear() {
  Url.clear();
  Target.clear();
  Attributes.clear();
  LinkId = 0;
  TabIndex = 0;
  StartPos = -1;
  EndPos = -1;
}

void TUrlTarget::SetEnd(int count, const std::function<TRunTarget*(int)>& linkTargetAt, int sourcePosition) {
  EndPos = sourcePosition;
  for (int i = count - 1; i >= 0; --i) {
    TRunTarget* run = linkTargetAt(i);
    if (!run || run->LinkId != LinkId) break;
    run->EndPos = sourcePosition;
  }
}

}  // namespace corvane
