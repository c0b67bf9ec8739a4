#pragma once

#include <QEvent>
#include <QString>
#include <QStringList>

class QObject;
class QWidget;
class QRect;

// The strings handed to a page when it is shown; plain and history navigation hand none.
using PageArgs = QStringList;

class CPageNavigator;
class CValdorixTokenDB;

namespace pagearg {
// Handed to the OTP page: it opens its token picker once shown.
inline QString openPicker() {
    return QStringLiteral("openPicker");
}
} // namespace pagearg

// Page ids: the ids of the pages' dialog templates.
namespace pageid {
constexpr unsigned About = 100;
constexpr unsigned Otp = 130; // the home page
constexpr unsigned Sign = 131;
constexpr unsigned Install = 132;
constexpr unsigned Manager = 133;
constexpr unsigned ShowOtp = 134;
constexpr unsigned Download = 223;
constexpr unsigned Progress = 224;
constexpr unsigned Activate = 225;
constexpr unsigned Synchronise = 226;
constexpr unsigned TokenProperty = 227;
constexpr unsigned Login = 228;
constexpr unsigned ChangePin = 229;
constexpr unsigned SetPin = 230;
constexpr unsigned TokenPackActivate = 231;
constexpr unsigned ErrorMsg = 232;
constexpr unsigned Challenge = 233;
constexpr unsigned Import = 234;
constexpr unsigned Settings = 235;
constexpr unsigned Export = 236;
} // namespace pageid

// Private messages, posted with QCoreApplication::postEvent.
constexpr QEvent::Type WM_NAVIGATE = QEvent::Type(QEvent::User + 1020);
constexpr QEvent::Type WM_TOKENCHANGED = QEvent::Type(QEvent::User + 1030);

// One screen of the main window. The page object lives as long as the main window; its window
// is made on the first Create.
class CPage {
public:
    virtual ~CPage() = default;

    // First look at every event of the UI thread while this page is current; true consumes it.
    virtual bool PreTranslateMessage(QObject* receiver, QEvent* event) = 0;
    virtual unsigned GetID() const = 0;
    // The page window; null before the first Create.
    virtual QWidget* GetHWND() const = 0;
    // Makes the window (a child of `parent`) on the first call and returns it afterwards.
    virtual QWidget* Create(QWidget* parent, const QRect& rect) = 0;
    virtual void SetNavigator(CPageNavigator* navigator) = 0;
    // Called each time the page is shown, once it is visible.
    virtual void OnShow(const PageArgs& args) = 0;
    // Called on the page that is being left, before the next page is shown.
    virtual void OnHide() = 0;
    virtual void UpdateNavigationBar() = 0;

    // The token store the page works on; the main window hands it over before the first Create.
    void SetStore(CValdorixTokenDB& store) { m_store = &store; }

protected:
    CValdorixTokenDB& tokenStore() const { return *m_store; }

private:
    CValdorixTokenDB* m_store = nullptr;
};

// What a page may ask of the main window.
class CPageNavigator {
public:
    virtual ~CPageNavigator() = default;

    virtual void ShowPage(unsigned id, const PageArgs& args) = 0;
    virtual void Navigate(unsigned id) = 0;
    // The one operation safe from any thread: the page changes later, on the UI thread.
    virtual void PostNavigate(unsigned id, const PageArgs& args) = 0;
    virtual unsigned GetCurrentPageId() const = 0;
    virtual void SetTitle(const QString& text) = 0;
    virtual void GoBack() = 0;
    virtual void GoForward() = 0;
    virtual void GoHome() = 0;
    // 0: Back possible, 1: Forward possible, 2: Home (always); anything else false.
    virtual bool CanNavigate(int what) const = 0;
};
