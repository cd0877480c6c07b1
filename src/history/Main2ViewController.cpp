// Main2ViewController: the history of this run's position reports, their acknowledgement marks,
// and the resend of every report the server has not acknowledged.
#include "Main2ViewController.h"

#include "HistoryRow.h"

#include "shared/GlobalFunctions.h"
#include "shared/NotificationNames.h"
#include "shared/ReportReply.h"
#include "shared/ThemeColour.h"
#include "shared/TrackingServer.h"

#include "platform/NotificationCenter.h"
#include "platform/PercentEscapes.h"
#include "platform/UrlConnection.h"
#include "platform/widgets/TableViewCell.h"

#include <QHash>
#include <QLabel>

namespace {

// Entry i of the history is element i of all three lists.
QStringList urlItems;
QStringList idItems;
QStringList sentOKItems;
// The oldest entry for each id, so that an acknowledgement finds its entry at once however
// long the history has grown.
QHash<QString, qsizetype> oldestEntryWithId;

const QString acknowledged = QStringLiteral("OK");

void addLabel(TableViewCell *cell, const QString &text, const QRect &frame,
              const QColor &colour = Qt::black)
{
    auto *label = new QLabel(text, cell);
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
{
}

Main2ViewController::~Main2ViewController()
{
    for (const auto &[connection, buffer] : responseData)
        connection->cancel();
}

const QStringList &Main2ViewController::urlItems()
{
    return ::urlItems;
}

const QStringList &Main2ViewController::idItems()
{
    return ::idItems;
}

const QStringList &Main2ViewController::sentOKItems()
{
    return ::sentOKItems;
}

void Main2ViewController::loadView(QWidget *view)
{
    ui.setupUi(view);
    connect(ui.cbSendMissing, &QPushButton::clicked, this, [this] { sendMissing(); });
}

void Main2ViewController::viewDidLoad()
{
    ViewController::viewDidLoad();
    ui.aivActivity->hide();
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
    ui.tvLocations->setRowHeight(35);
    ::urlItems.clear();
    ::idItems.clear();
    ::sentOKItems.clear();
    oldestEntryWithId.clear();
    ui.tvLocations->setDataSource(this);
}

void Main2ViewController::addLocation(const QString &requestText)
{
    ::urlItems.append(requestText);
    ::sentOKItems.append(QString());
    const QString id = HistoryRow::idOf(requestText);
    ::idItems.append(id);
    oldestEntryWithId.insert(id, oldestEntryWithId.value(id, ::idItems.size() - 1));
    ui.tvLocations->reloadData();
}

void Main2ViewController::okLocation(const QString &reply)
{
    if (reply.size() <= 2) {
        // A bare "OK" answers the newest report, whichever it was.
        if (!::sentOKItems.isEmpty())
            ::sentOKItems.last() = acknowledged;
    } else {
        const auto found = oldestEntryWithId.constFind(reply.mid(2));
        if (found != oldestEntryWithId.cend())
            ::sentOKItems[found.value()] = acknowledged;
    }
    ui.tvLocations->reloadData();
}

bool Main2ViewController::connectedToNetwork() const
{
    return GlobalData::sharedGlobalData()->connectedToNetwork();
}

void Main2ViewController::sendMissing()
{
    if (!connectedToNetwork())
        return;
    const qsizetype n = ::urlItems.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (::sentOKItems[i] == acknowledged)
            continue;
        const QString text = TrackingServer::lateReportText(::urlItems[i]);
        const QUrl url = urlWithString(addingPercentEscapes(text));
        if (url.isValid())
            responseData[UrlConnection::start(url, this)] = QByteArray();
    }
}

void Main2ViewController::spinBegin()
{
    ui.aivActivity->show();
    ui.aivActivity->startAnimating();
}

void Main2ViewController::spinEnd()
{
    ui.aivActivity->hide();
    ui.aivActivity->stopAnimating();
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
    return int(::urlItems.size());
}

QString Main2ViewController::tableViewTitleForHeaderInSection(TableView *, int)
{
    return QStringLiteral("Position History");
}

int Main2ViewController::tableViewAccessoryTypeForRowWithIndexPath(TableView *, const IndexPath &)
{
    return AccessoryDisclosureIndicator;
}

std::unique_ptr<TableViewCell>
Main2ViewController::tableViewCellForRowAtIndexPath(TableView *, const IndexPath &path)
{
    auto cell = std::make_unique<TableViewCell>(QStringLiteral("any-cell"));
    modCell(cell.get(), path.row);
    return cell;
}

void Main2ViewController::modCell(TableViewCell *cell, int index) const
{
    const std::optional<HistoryRow> row = HistoryRow::fromRequestText(::urlItems.value(index));
    if (!row)
        return;
    const bool isOK = ::sentOKItems.value(index) == acknowledged;
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

void Main2ViewController::connectionDidReceiveData(UrlConnection *connection,
                                                   const QByteArray &data)
{
    responseData[connection].append(data);
}

void Main2ViewController::connectionDidFailWithError(UrlConnection *connection, const QString &)
{
    responseData.erase(connection);
}

void Main2ViewController::connectionDidFinishLoading(UrlConnection *connection)
{
    const auto node = responseData.extract(connection);
    const ReportReply reply = ReportReply::fromBody(node.empty() ? QByteArray() : node.mapped());
    if (reply.kind == ReportReply::Acknowledged)
        NotificationCenter::defaultCenter().postNotificationName(NotificationNames::LocationOK,
                                                                 reply.text);
}
