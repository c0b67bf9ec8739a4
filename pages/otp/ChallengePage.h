#pragma once

#include "pages/otp/RespondPageImpl.h"
#include "resources/StringTable.h"

// Page 233: answers a challenge from a service ("&C && R...").
class CChallengePage : public CRespondPageImpl<CChallengePage> {
    Q_OBJECT

public:
    static constexpr int IDD = pageid::Challenge;
    static constexpr int IDC_ACTION = 101; // "&Go"
    static constexpr int CaptionString = resources::ids::IDS_YOUR_RESPONSE;
};
