#pragma once

#include "pages/otp/OtpPictures.h"
#include "platform/Trim.h"
#include "ui/PageImpl.h"
#include "ui/PngButton.h"
#include "ui/SaveFailure.h"
#include "store/ValdorixTokenDB.h"
#include "ui/Wipe.h"

#include <QLineEdit>
#include <string>

// The challenge and signing pages: a text and an optional PIN, answered by the default token's
// `respond` and shown on page 134 under the page's caption. A counter the answer advanced is
// saved before the answer is shown, so a restart never answers with the same counter again.
//
// T provides IDD, IDC_ACTION (its action button) and CaptionString (the caption's string id).
template <class T>
class CRespondPageImpl : public CDialogPageImpl<T> {
public:
    static constexpr int IDC_CHALLENGE = 1002;
    static constexpr int IDC_PIN = 1003;
    static constexpr unsigned ResultPage = 134;

    bool PreTranslateMessage(QObject*, QEvent* event) override {
        return this->postCommandOnEnter(event, T::IDC_ACTION);
    }
    void OnShow(const PageArgs&) override { clear(); }
    // The PIN never stays behind in a page that was left.
    void OnHide() override { clear(); }

    void onCommand(int id, int notifyCode) override {
        if (notifyCode == EN_CHANGE) {
            if (id == IDC_CHALLENGE) {
                // No trimming here: blanks alone enable the action.
                m_challenge = this->itemText(IDC_CHALLENGE);
                m_action->setEnabled(!m_challenge.empty());
            }
            return;
        }
        if (id == T::IDC_ACTION && m_action->isEnabled())
            respond();
    }

    CPngButton* actionButton() const { return m_action; }

protected:
    friend class CPageImpl<T>;
    friend class CDialogPageImpl<T>;

    QWidget* createControl(const resources::DialogItem& item, QWidget* parent) {
        if (item.id != T::IDC_ACTION)
            return nullptr;
        m_action = new CPngButton(parent, item.id);
        return m_action;
    }

    void OnInitDialog() {
        this->m_fixDpi.Init(this, T::IDD, 96.0);
        m_action->SetImages(picture::GoNormal, picture::GoNormal, picture::GoPressed);
        this->DlgResize_Init({{IDC_PANEL, CDialogResize::SizeX},
                              {IDC_CHALLENGE, CDialogResize::SizeX},
                              {IDC_PIN, CDialogResize::SizeX},
                              {T::IDC_ACTION, CDialogResize::MoveX},
                              {IDC_NAVIGATION_BAR, CDialogResize::SizeX | CDialogResize::MoveY}});
        m_action->setEnabled(false);
    }

private:
    void clear() {
        wipe(m_challenge);
        wipe(m_pin);
        for (int id : {IDC_CHALLENGE, IDC_PIN}) {
            if (auto* edit = qobject_cast<QLineEdit*>(this->item(id)))
                edit->clear();
        }
        // An edit box that was empty already reports no change.
        m_action->setEnabled(false);
    }

    void respond() {
        m_challenge = platform::trimmed(this->itemText(IDC_CHALLENGE), platform::isCSpace);
        m_pin = this->itemText(IDC_PIN);
        // "&C && R..." stays enabled with an empty store: then there is nothing to answer with.
        const std::shared_ptr<COtpToken> token = this->tokenStore().defaultToken();
        if (!token) {
            wipe(m_pin);
            return;
        }
        const std::int64_t counterBefore = token->counter;
        const OtpPair pair = token->respond(m_challenge, m_pin);
        wipe(m_pin);
        if (token->counter != counterBefore && !saveCodeCounter(this, this->tokenStore(), *token, counterBefore))
            return;
        const PageArgs args{QString::fromStdU16String(pair.first), QString::fromStdU16String(pair.second),
                            resourceString(T::CaptionString)};
        if (this->m_navigator)
            this->m_navigator->ShowPage(ResultPage, args);
    }

    CPngButton* m_action = nullptr;
    std::u16string m_challenge;
    std::u16string m_pin;
};
