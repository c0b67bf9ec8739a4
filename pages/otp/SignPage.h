#pragma once

#include "pages/otp/RespondPageImpl.h"
#include "resources/StringTable.h"

// Page 131: signs data the user types ("&Sign..."); handled exactly like a challenge.
class CSignPage : public CRespondPageImpl<CSignPage> {
    Q_OBJECT

public:
    static constexpr int IDD = pageid::Sign;
    static constexpr int IDC_ACTION = 1001; // "&Sign"
    static constexpr int CaptionString = resources::ids::IDS_YOUR_SIGNATURE;
};
