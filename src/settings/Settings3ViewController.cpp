// Settings3ViewController: the account's details as the tracking server has them, fetched on
// request and listed one section per item.
#include "Settings3ViewController.h"
#include "ui_Settings3View.h"

#include "AccountInfoReply.h"

#include "shared/GlobalFunctions.h"
#include "shared/PreferenceKeys.h"
#include "shared/ThemeColour.h"
#include "shared/TrackingServer.h"

#include "platform/ContentsOfUrl.h"
#include "platform/PercentEscapes.h"
#include "platform/UserDefaults.h"
#include "platform/widgets/TableViewCell.h"

#include <QHBoxLayout>
#include <QLabel>

Settings3ViewController::Settings3ViewController(QObject *parent)
    : ViewController(parent)
    , ui(std::make_unique<Ui::Settings3View>())
{ }

Settings3ViewController::~Settings3ViewController() = default;

void Settings3ViewController::loadView(QWidget *view)
{
    ui->setupUi(view);
    ui->tvInfo->setDataSource(this);
    connect(ui->cbGetInfo, &QPushButton::clicked, this, [this] { getInfo(); });
}

void Settings3ViewController::viewDidLoad()
{
    ViewController::viewDidLoad();
    ui->aivActivity->hide();
    ThemeColour::observe(this, [this] { backgroundColorSet(); });
    loadDefaults();
}

void Settings3ViewController::loadDefaults()
{
    ui->tvInfo->setRowHeight(30);
    ThemeColour::post();
}

// The fetch blocks the main thread, so the spinner is queued rather than shown: it turns up
// and goes away once the event loop runs again, and always in that order.
void Settings3ViewController::getInfo()
{
    QMetaObject::invokeMethod(
        this, [this] { spinBegin(); }, Qt::QueuedConnection);
    const QString device
        = UserDefaults::standardUserDefaults().stringForKey(PreferenceKeys::deviceid);
    GlobalData *global = GlobalData::sharedGlobalData();
    if (global->connectedToNetwork()) {
        const QUrl url = urlWithString(addingPercentEscapes(
            TrackingServer::accountInfoText(global->url(), device, global->ver())));
        if (url.isValid()) {
            QString error;
            const QString reply = contentsOfUrl(url, &error);
            if (reply.isNull()) {
                // Whatever was listed stays, so a failed retry loses nothing already shown.
                m_headerItems.append(QStringLiteral("Error"));
                m_detailItems.append(QStringLiteral("Details unavailable"));
            } else {
                m_headerItems = QStringList();
                m_detailItems = QStringList();
                const QList<AccountInfoReply::Item> items = AccountInfoReply::parse(reply);
                for (const AccountInfoReply::Item &item : items) {
                    m_headerItems.append(item.title);
                    m_detailItems.append(item.text);
                }
            }
            ui->tvInfo->reloadData();
        }
    }
    QMetaObject::invokeMethod(
        this, [this] { spinEnd(); }, Qt::QueuedConnection);
}

void Settings3ViewController::spinBegin()
{
    ui->aivActivity->show();
    ui->aivActivity->startAnimating();
}

void Settings3ViewController::spinEnd()
{
    ui->aivActivity->hide();
    ui->aivActivity->stopAnimating();
}

void Settings3ViewController::backgroundColorSet()
{
    ThemeColour::paint(view(), GlobalData::sharedGlobalData()->getBackgroundColour());
}

int Settings3ViewController::numberOfSectionsInTableView(TableView *)
{
    return int(m_headerItems.size());
}

int Settings3ViewController::tableViewNumberOfRowsInSection(TableView *, int)
{
    return 1;
}

QString Settings3ViewController::tableViewTitleForHeaderInSection(TableView *, int section)
{
    return m_headerItems.value(section);
}

TableViewDataSource::AccessoryType
Settings3ViewController::tableViewAccessoryTypeForRowWithIndexPath(TableView *, const IndexPath &)
{
    return AccessoryType::DisclosureIndicator;
}

std::unique_ptr<TableViewCell> Settings3ViewController::tableViewCellForRowAtIndexPath(
    TableView *, const IndexPath &path)
{
    auto cell = std::make_unique<TableViewCell>(QStringLiteral("Cell"));
    // The server's text is shown as it came, never read as markup.
    auto *label = new QLabel(m_detailItems.value(path.row + path.section), cell.get());
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The right margin keeps long texts clear of the disclosure chevron.
    label->setContentsMargins(10, 0, 24, 0);
    auto *layout = new QHBoxLayout(cell.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label);
    return cell;
}
