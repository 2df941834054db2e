#include "layout/form_control.h"

#include "layout/section_list.h"

namespace corvane {

TFormControlObj& ThtmlForm::InsertControl(std::unique_ptr<TFormControlObj> control) {
  if (!control->IsHidden()) ++NonHiddenCount;
  ControlList.push_back(std::move(control));
  return *ControlList.back();
}

TFormSubmission ThtmlForm::Submission(const QString* buttonEntry) const {
  TFormSubmission submission{Action, Method, EncType, Target, {}};
  QString entry;
  for (const auto& control : ControlList) {
    if (control->Disabled) continue;
    for (int i = 0; control->GetSubmission(i, entry); ++i)
      if (!entry.isEmpty()) submission.Entries.push_back(entry);
  }
  if (buttonEntry) submission.Entries.push_back(*buttonEntry);
  return submission;
}

void ThtmlForm::Submit(const QString* buttonEntry) {
  TDocumentHost& host = Document->Host();
  if (!host.HandlesFormSubmit()) return;
  host.FormSubmit(Submission(buttonEntry));
}

void ThtmlForm::Reset() {
  for (const auto& control : ControlList) control->ResetToValue();
}

}  // namespace corvane
