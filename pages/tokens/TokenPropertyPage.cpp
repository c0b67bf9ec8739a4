#include "pages/tokens/TokenPropertyPage.h"

#include "resources/StringTable.h"
#include "ui/LabelEditListView.h"
#include "store/ValdorixTokenDB.h"

#include <QDateTime>
#include <QHeaderView>
#include <QLocale>
#include <QRegularExpression>

namespace {

using namespace resources::ids;

// The last second the run-time library's local-time conversion accepts: 3000-12-31 23:59:59 UTC.
constexpr std::int64_t kLastConvertibleTime = 32535215999;

QString fromU16(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

} // namespace

QString CTokenPropertyPage::formatExpiryDate(std::int64_t seconds) {
    // Zero is what a token without an expiry date holds.
    if (seconds == 0)
        return resourceString(IDS_NEVER);
    if (seconds < 0 || seconds > kLastConvertibleTime)
        return QString();
    const QDateTime local = QDateTime::fromSecsSinceEpoch(seconds, Qt::LocalTime);
    if (!local.isValid())
        return QString();
    // The user's long date and long time, without the time zone the long time form ends with.
    const QLocale locale;
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QRegularExpression(QStringLiteral("\\s*\\(?\\bt+\\b\\)?")));
    return locale.toString(local.date(), QLocale::LongFormat) + u' ' +
           locale.toString(local.time(), timeFormat.trimmed());
}

QWidget* CTokenPropertyPage::createControl(const resources::DialogItem& item, QWidget* parent) {
    if (item.id != IDC_LIST)
        return nullptr;
    m_list = new CLabelEditListView(parent, item.style);
    return m_list;
}

void CTokenPropertyPage::OnInitDialog() {
    m_fixDpi.Init(this, IDD, 96.0);
    DlgResize_Init({{IDC_LIST, CDialogResize::SizeX | CDialogResize::SizeY},
                    {IDC_NAVIGATION_BAR, CDialogResize::SizeX | CDialogResize::MoveY}});

    m_list->setLabelEditing(false);
    m_list->setColumnCount(2);
    m_list->setHeaderLabels({resourceString(IDS_PROPERTY), resourceString(IDS_VALUE)});
    m_list->header()->resizeSection(0, 100);
    m_list->header()->resizeSection(1, 240);
}

void CTokenPropertyPage::OnShow(const PageArgs&) {
    m_list->clear();
    // Reachable through Back or Forward after the last token is gone: then the list stays empty.
    const std::shared_ptr<COtpToken> token = tokenStore().defaultToken();
    if (!token)
        return;
    const std::pair<int, QString> rows[RowCount] = {
        {IDS_LABEL, fromU16(token->label)},          {IDS_SERIAL, fromU16(token->serial)},
        {IDS_APP_ID, fromU16(token->appId)},         {IDS_USER_NAME, fromU16(token->userName)},
        {IDS_TOKEN_NAME, fromU16(token->tokenName)}, {IDS_SERVICE_URL, fromU16(token->serviceUrl)},
        {IDS_APP_URL, fromU16(token->appUrl)},       {IDS_EXPIRY_DATE, formatExpiryDate(token->expiryDate)},
    };
    for (const auto& [property, value] : rows)
        m_list->appendRow({resourceString(property), value});
}
