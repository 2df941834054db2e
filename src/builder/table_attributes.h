#pragma once

#include "layout/table.h"

namespace corvane {

class TAttributeList;
class TStyleContext;

// What the attributes of a TABLE, a TR and a TD or TH element give their objects, read as the table is
// built. Values are kept within the limits of TCellObj, colours read through the context.
TTableAttributes ReadTableAttributes(const TAttributeList& attributes, TStyleContext& context);
TRowAttributes ReadRowAttributes(const TAttributeList& attributes, TStyleContext& context);
TCellAttributes ReadCellAttributes(const TAttributeList& attributes, TStyleContext& context);

}  // namespace corvane
