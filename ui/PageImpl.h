#pragma once

#include "controls/ScaledPicture.h"
#include "resources/DialogTemplates.h"
#include "ui/FixDPIDialog.h"
#include "ui/NavigationBar.h"
#include "ui/Page.h"
#include "ui/PageWidget.h"
#include "ui/SurfacePainter.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <memory>
#include <string>

// Picture ids of the page decoration.
namespace picture {
constexpr int PageBackground = 202;
constexpr int OtpBackground = 232;
constexpr int Panel = 214;
constexpr int EditFrame = 215;
} // namespace picture

// Control ids every page may have.
constexpr int IDC_PANEL = 1008;
constexpr int IDC_NAVIGATION_BAR = 1017;

// Windows drawn with a nine-patch frame a few pixels outside them.
struct FrameList {
    QList<QPointer<QWidget>> windows;
    CScaledPicture<C9Image> picture;
    int outset = 2;

    void draw(Surface& dc) const {
        const std::shared_ptr<C9Image>& image = picture.forScale(dc.scale());
        if (!image || !image->IsValid())
            return;
        for (const QPointer<QWidget>& window : windows) {
            if (!window || !window->isVisibleTo(window->parentWidget()))
                continue;
            const QRect r = window->geometry();
            image->Draw(dc, CRect{r.left(), r.top(), r.right() + 1, r.bottom() + 1}.inflated(outset));
        }
    }
};

// Base of every page: the page interface with its defaults, and the decoration (background
// picture, frames around edit boxes, the panel, the navigation bar on control 1017).
//
// T is the page class. It provides `static constexpr int IDD` (its template id) and may provide:
//   void OnInitDialog();                      its own WM_INITDIALOG part; the default lays out the
//                                             template and starts an empty resize map
//   QWidget* createControl(item, parent);     to make a control itself (its CPngButton)
//   static constexpr int BackgroundPicture;   232 for the OTP page; 202 otherwise
template <class T>
class CPageImpl : public CPageWidget, public CPage {
public:
    bool PreTranslateMessage(QObject*, QEvent*) override { return false; }
    unsigned GetID() const override { return T::IDD; }
    QWidget* GetHWND() const override { return m_created ? const_cast<CPageImpl*>(this) : nullptr; }
    void SetNavigator(CPageNavigator* navigator) override {
        m_navigator = navigator;
        if (m_navigationBar)
            m_navigationBar->SetNavigator(navigator);
    }
    void OnShow(const PageArgs&) override {}
    void OnHide() override {}
    void UpdateNavigationBar() override {
        if (m_navigationBar)
            m_navigationBar->UpdateButtons();
    }

    // WM_ERASEBKGND: background picture, the panel and the edit frames, then the page's own.
    bool EraseBackground(Surface& dc) override {
        const std::shared_ptr<CxImage>& background = m_background.forScale(dc.scale());
        if (background && background->IsValid()) {
            background->Draw(dc, 0, 0);
        } else {
            // No picture: what the window system would erase with.
            const QColor c = palette().color(backgroundRole());
            dc.fillRect(dc.clipBox(), rgb(c.red(), c.green(), c.blue()));
        }
        m_panels.draw(dc);
        m_editFrames.draw(dc);
        paintPage(dc);
        return true;
    }

    // The bar on control 1017; null on pages without one.
    CNavigationBar* navigationBar() const { return m_navigationBar; }
    CPageNavigator* navigator() const { return m_navigator; }

protected:
    // Page-specific painting over the decoration (the About page's logo).
    virtual void paintPage(Surface&) {}

    // The default part of a page's own WM_INITDIALOG: the layout at 96 dpi.
    void OnInitDialog() { m_fixDpi.Init(this, T::IDD, 96.0); }
    QWidget* createControl(const resources::DialogItem&, QWidget*) { return nullptr; }
    static constexpr int BackgroundPicture = picture::PageBackground;

    // The Enter-key convention: Enter anywhere on the page posts the action button's command
    // while that button is enabled. Never consumes the event.
    bool postCommandOnEnter(QEvent* event, int buttonId) {
        if (event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        QWidget* button = item(buttonId);
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && button && button->isEnabled())
            postCommand(buttonId);
        return false;
    }

    // The text of an edit box as UTF-16.
    std::u16string itemText(int id) const {
        auto* edit = qobject_cast<QLineEdit*>(item(id));
        return edit ? edit->text().toStdU16String() : std::u16string();
    }

    // Starts the resize map: called by the page's own WM_INITDIALOG after its controls are set.
    void DlgResize_Init(QList<CDialogResize::Entry> map) { m_resize.DlgResize_Init(this, std::move(map)); }

    // Runs the three WM_INITDIALOG handlers in their order.
    void initDialog() {
        static_cast<T*>(this)->OnInitDialog();
        initDecoration();
        initNavigationBar();
    }

    bool m_created = false;
    CFixDPIDialog<T> m_fixDpi;
    FrameList m_editFrames;
    FrameList m_panels;
    QPointer<CNavigationBar> m_navigationBar;
    CPageNavigator* m_navigator = nullptr;
    CScaledPicture<CxImage> m_background;

private:
    // The bar's part of WM_INITDIALOG: a bar exactly on placeholder 1017, when the page has one.
    void initNavigationBar() {
        QWidget* placeholder = item(IDC_NAVIGATION_BAR);
        if (!placeholder)
            return;
        m_navigationBar = new CNavigationBar(this);
        m_navigationBar->SetNavigator(m_navigator);
        m_navigationBar->place(placeholder->geometry());
        m_navigationBar->show();
    }

    void initDecoration() {
        m_background = scaledPng(T::BackgroundPicture);

        m_editFrames.picture = scaledNinePatch(picture::EditFrame, 2, 2, 2, 2, false, false);
        for (QObject* child : children()) {
            // Exactly edit boxes, as the class name "Edit" picks them.
            if (child->metaObject() != &QLineEdit::staticMetaObject)
                continue;
            auto* edit = static_cast<QWidget*>(child);
            edit->resize(edit->width(), edit->height() - 5);
            m_editFrames.windows.append(edit);
        }

        m_panels.picture = scaledNinePatch(picture::Panel, 10, 10, 10, 10, false, true);
        if (QWidget* panel = item(IDC_PANEL)) {
            panel->hide();
            m_panels.windows.append(panel);
        }

        // The page takes the logical size of its picture; the resize map re-places the controls.
        const std::shared_ptr<CxImage>& background = m_background.forScale(surfaceScaleOf(*this));
        if (background && background->IsValid()) {
            resize(background->logicalWidth(), background->logicalHeight());
            // A hidden window gets its resize event only when shown; the bar needs the final
            // places now.
            m_resize.DlgResize_UpdateLayout(size());
        }
    }
};

// A page whose window is made from template T::IDD on its first showing.
template <class T>
class CDialogPageImpl : public CPageImpl<T> {
public:
    QWidget* Create(QWidget* parent, const QRect&) override {
        if (this->m_created)
            return this;
        this->m_created = true;
        this->hide();
        this->setParent(parent);
        const resources::DialogTemplate* tmpl = resources::findDialogTemplate(T::IDD);
        if (tmpl) {
            createDialogControls(this, *tmpl, [this](const resources::DialogItem& item, QWidget* p) {
                return static_cast<T*>(this)->createControl(item, p);
            });
        }
        this->initDialog();
        return this;
    }
};
