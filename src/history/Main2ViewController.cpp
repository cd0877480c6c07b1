// Main2ViewController: the history of this run's position reports, their acknowledgement marks,
// and the resend of every report the server has not acknowledged.
#include "Main2ViewController.h"
#include "ui_Main2View.h"

#include "HistoryRow.h"
#include "PositionHistory.h"

#include "shared/GlobalFunctions.h"
#include "shared/NotificationNames.h"
#include "shared/ReportReply.h"
#include "shared/ThemeColour.h"
#include "shared/TrackingServer.h"

#include "platform/NotificationCenter.h"
#include "platform/PercentEscapes.h"
#include "platform/UrlConnection.h"
#include "platform/widgets/TableViewCell.h"

#include <QLabel>

namespace {

PositionHistory history;

const QString acknowledged = QStringLiteral("OK");

void addLabel(
    TableViewCell *cell, const QString &text, const QRect &frame, const QColor &colour = Qt::black)
{
    auto *label = new QLabel(text, cell);
    label->setTextFormat(Qt::PlainText); // a user's name in a report is shown as typed
    label->setGeometry(frame);
    QFont font(QStringLiteral("Helvetica"));
    font.setPixelSize(12);
    label->setFont(font);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setAutoFillBackground(false);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

} // namespace

Main2ViewController::Main2ViewController(QObject *parent)
    : ViewController(parent)
    , ui(std::make_unique<Ui::Main2View>())
{ }

Main2ViewController::~Main2ViewController()
{
    for (const auto &[connection, buffer] : responseData)
        connection->cancel();
}

QStringList Main2ViewController::urlItems()
{
    QStringList items;
    for (qsizetype i = 0; i < history.size(); ++i)
        items << history.requestText(i);
    return items;
}

QStringList Main2ViewController::idItems()
{
    QStringList items;
    for (qsizetype i = 0; i < history.size(); ++i)
        items << history.id(i);
    return items;
}

QStringList Main2ViewController::sentOKItems()
{
    QStringList items;
    for (qsizetype i = 0; i < history.size(); ++i)
        items << (history.isAcknowledged(i) ? acknowledged : QString());
    return items;
}

void Main2ViewController::loadView(QWidget *view)
{
    ui->setupUi(view);
    connect(ui->cbSendMissing, &QPushButton::clicked, this, [this] { sendMissing(); });
}

void Main2ViewController::viewDidLoad()
{
    ViewController::viewDidLoad();
    ui->aivActivity->hide();
    NotificationCenter &center = NotificationCenter::defaultCenter();
    ThemeColour::observe(this, [this] { backgroundColorSet(); });
    center.addObserver(NotificationNames::LocationSent, this,
        [this](const Notification &n) { addLocation(n.object.toString()); });
    center.addObserver(NotificationNames::LocationOK, this,
        [this](const Notification &n) { okLocation(n.object.toString()); });
    loadDefaults();
}

void Main2ViewController::loadDefaults()
{
    ThemeColour::post();
    ui->tvLocations->setRowHeight(35);
    history.clear();
    resendQueue.clear(); // its entries are gone
    ui->tvLocations->setDataSource(this);
}

void Main2ViewController::addLocation(const QString &requestText)
{
    history.append(requestText);
    ui->tvLocations->reloadData();
}

void Main2ViewController::okLocation(const QString &reply)
{
    history.acknowledge(reply);
    ui->tvLocations->reloadData();
}

bool Main2ViewController::connectedToNetwork() const
{
    return GlobalData::sharedGlobalData()->connectedToNetwork();
}

void Main2ViewController::sendMissing()
{
    if (!connectedToNetwork())
        return;
    resendQueue.add(history);
    startResends();
}

void Main2ViewController::startResends()
{
    while (
        const std::optional<qsizetype> entry = resendQueue.next(qsizetype(responseData.size()))) {
        // Another screen may have started the history afresh meanwhile.
        if (*entry >= history.size())
            continue;
        const QString text = TrackingServer::lateReportText(history.requestText(*entry));
        const QUrl url = urlWithString(addingPercentEscapes(text));
        if (url.isValid())
            responseData[UrlConnection::start(url, this)] = QByteArray();
    }
}

void Main2ViewController::spinBegin()
{
    ui->aivActivity->show();
    ui->aivActivity->startAnimating();
}

void Main2ViewController::spinEnd()
{
    ui->aivActivity->hide();
    ui->aivActivity->stopAnimating();
}

void Main2ViewController::backgroundColorSet()
{
    ThemeColour::paint(view(), GlobalData::sharedGlobalData()->getBackgroundColour());
}

int Main2ViewController::numberOfSectionsInTableView(TableView *)
{
    return 1;
}

int Main2ViewController::tableViewNumberOfRowsInSection(TableView *, int)
{
    return int(history.size());
}

QString Main2ViewController::tableViewTitleForHeaderInSection(TableView *, int)
{
    return QStringLiteral("Position History");
}

TableViewDataSource::AccessoryType Main2ViewController::tableViewAccessoryTypeForRowWithIndexPath(
    TableView *, const IndexPath &)
{
    return AccessoryType::DisclosureIndicator;
}

std::unique_ptr<TableViewCell> Main2ViewController::tableViewCellForRowAtIndexPath(
    TableView *, const IndexPath &path)
{
    auto cell = std::make_unique<TableViewCell>(QStringLiteral("any-cell"));
    modCell(cell.get(), path.row);
    return cell;
}

void Main2ViewController::modCell(TableViewCell *cell, int index) const
{
    if (index < 0 || index >= history.size())
        return;
    const std::optional<HistoryRow> row = HistoryRow::fromRequestText(history.requestText(index));
    if (!row)
        return;
    const bool isOK = history.isAcknowledged(index);
    addLabel(cell, row->timeText, QRect(5, 0, 150, 15));
    addLabel(cell, row->latitude, QRect(5, 15, 100, 15));
    addLabel(cell, row->longitude, QRect(90, 15, 200, 15));
    addLabel(cell, row->accuracyText, QRect(180, 15, 310, 15));
    addLabel(cell, row->speed, QRect(180, 0, 310, 15));
    addLabel(cell, isOK ? acknowledged : QStringLiteral("X"), QRect(280, 0, 290, 15),
        isOK ? QColor::fromRgbF(0, 1, 0) : QColor::fromRgbF(1, 0, 0));
}

void Main2ViewController::connectionDidReceiveResponse(UrlConnection *connection, int)
{
    responseData[connection].clear();
}

void Main2ViewController::connectionDidReceiveData(
    UrlConnection *connection, const QByteArray &data)
{
    responseData[connection].append(data);
}

void Main2ViewController::connectionDidFailWithError(UrlConnection *connection, const QString &)
{
    responseData.erase(connection);
    startResends();
}

void Main2ViewController::connectionDidFinishLoading(UrlConnection *connection)
{
    const auto node = responseData.extract(connection);
    const ReportReply reply = ReportReply::fromBody(node.empty() ? QByteArray() : node.mapped());
    if (reply.kind == ReportReply::Kind::Acknowledged)
        NotificationCenter::defaultCenter().postNotificationName(
            NotificationNames::LocationOK, reply.text);
    startResends();
}
