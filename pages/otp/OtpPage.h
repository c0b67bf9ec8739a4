#pragma once

#include "ui/PageImpl.h"

#include <QPointer>
#include <QTimer>
#include <cstdint>

class CNumberPlate;
class CPngButton;
class CSelectTokenWindow;
class CTimerBar;
class COtpToken;
class QLabel;

// Page 130, the home page: the default token's name, its code on the digit plate and the
// countdown bar. OcraTime tokens renew their code by themselves at each time step; every other
// kind makes a code on Go, which stays for the token's interval.
class COtpPage : public CDialogPageImpl<COtpPage> {
    Q_OBJECT

public:
    static constexpr int IDD = pageid::Otp;
    static constexpr int IDC_GO = 101;
    static constexpr int IDC_COPY = 102;
    static constexpr int IDC_CHANGE_TOKEN = 1001;
    static constexpr int IDC_PLATE = 1009;
    static constexpr int IDC_TIMER_BAR = 1010;
    static constexpr int IDC_NAME = 1044;
    static constexpr int BackgroundPicture = picture::OtpBackground;

    // Window timers of the page.
    static constexpr int TimerTick = 111;   // the one-second countdown
    static constexpr int TimerGoLock = 112; // Go enabled again after the token's goDelay

    COtpPage();
    ~COtpPage() override;

    bool PreTranslateMessage(QObject* receiver, QEvent* event) override;
    void OnShow(const PageArgs& args) override;
    void OnHide() override;
    void onCommand(int id, int notifyCode) override;

    // Shows the default token: its name and title, and for OcraTime its running code.
    void refresh();
    // WM_TIMER: what timers 111 and 112 do when they fire.
    void onTimer(int id);
    // Opens the token picker with its top-left corner at `screenPos`.
    void openPicker(const QPoint& screenPos);

    CNumberPlate* plate() const { return m_plate; }
    // The line under the name that warns of a clock the servers disagree with.
    QLabel* clockWarning() const { return m_clockWarning; }
    CTimerBar* timerBar() const { return m_timerBar; }
    CSelectTokenWindow* picker() const { return m_picker; }
    int countdown() const { return m_countdown; }
    const QTimer& timer(int id) const { return id == TimerTick ? m_tick : m_goLock; }

protected:
    bool event(QEvent* event) override;

private:
    friend class CPageImpl<COtpPage>;
    friend class CDialogPageImpl<COtpPage>;
    void OnInitDialog();
    QWidget* createControl(const resources::DialogItem& item, QWidget* parent);

    void go();
    void tick();
    void renewTimeCode();
    void startCountdown(int seconds);
    void setTitle(const QString& text);
    void updateClockWarning(const COtpToken* token);

    CNumberPlate* m_plate = nullptr;
    CTimerBar* m_timerBar = nullptr;
    CPngButton* m_go = nullptr;
    CPngButton* m_copy = nullptr;
    CPngButton* m_changeToken = nullptr;
    QLabel* m_name = nullptr;
    QLabel* m_clockWarning = nullptr;
    CSelectTokenWindow* m_picker = nullptr; // a child of the page, made on first use
    QTimer m_tick;
    QTimer m_goLock;

    // The seconds still shown on the bar.
    int m_countdown = 0;
    // The clock at the last tick, and when an on-request code runs out: a tick that finds the
    // clock two or more seconds on (a suspend, a busy spell) puts the countdown right.
    std::int64_t m_lastTick = 0;
    std::int64_t m_deadline = 0;
};
