#include "ui/gps/gps_commands.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeView>

#include "control/sorvane.h"
#include "data/tobrel_file.h"
#include "ui/dialogs/route_dialog.h"
#include "ui/dialogs/select_pid_dialog.h"
#include "ui/document.h"
#include "ui/gps/gps_records.h"
#include "ui/main_window.h"
#include "ui/settings/port_map.h"
#include "ui/tree_controller.h"

namespace tobrel {

namespace {

constexpr int kStatusMessageMs = 8000;
// Names listed in the confirmation; the rest are in its details.
constexpr int kListedNames = 12;

QString ErrorText(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

bool IsDownload(TransferKind kind) {
    return kind == TransferKind::kDownloadTracks || kind == TransferKind::kDownloadWaypoints;
}

}  // namespace

QString CannotOpenText(int port, const QString& device, int code) {
    QString text =
        GpsCommands::tr("COM%1 (%2) cannot be opened: %3.").arg(port).arg(device, ErrorText(code));
    if (code == EACCES || code == EPERM)
        text += QLatin1Char(' ') +
                GpsCommands::tr(
                    "Serial ports belong to the dialout group: add your user to it and log in "
                    "again.");
    else if (code == EBUSY)
        text += QLatin1Char(' ') + GpsCommands::tr("Another program is using it.");
    return text;
}

QString TransferKindText(TransferKind kind) {
    switch (kind) {
        case TransferKind::kDownloadTracks:
            return GpsCommands::tr("Downloading tracks");
        case TransferKind::kDownloadWaypoints:
            return GpsCommands::tr("Downloading waypoints");
        case TransferKind::kUploadTracks:
            return GpsCommands::tr("Uploading tracks");
        case TransferKind::kUploadWaypoints:
            return GpsCommands::tr("Uploading waypoints");
        case TransferKind::kUploadRoute:
            return GpsCommands::tr("Uploading the route");
    }
    return {};
}

GpsCommands::GpsCommands(TfrmMain& window) : QObject(&window), window_(window) {
    GpsSession* gps = window_.Sorvane1();
    connect(gps, &GpsSession::Identified, this, &GpsCommands::Identified);
    connect(gps, &GpsSession::NamesChecked, this, &GpsCommands::NamesChecked);
    connect(gps, &GpsSession::Progress, this, &GpsCommands::ShowProgress);
    connect(gps, &GpsSession::Transferred, this, &GpsCommands::Transferred);
}

GpsCommands::~GpsCommands() = default;

int GpsCommands::Port() const {
    return window_.Prefs().PortNumber().value_or(1);
}

// ---------------------------------------------------------------- the five commands

void GpsCommands::DownloadTracks() {
    Start(TransferKind::kDownloadTracks);
}

void GpsCommands::DownloadWaypoints() {
    Start(TransferKind::kDownloadWaypoints);
}

void GpsCommands::UploadTracks() {
    const TobrelFile& store = window_.Doc()->Store();
    if (store.GetTrackCount() == 0) {
        QMessageBox::information(&window_, tr("Upload Tracks"),
                                 tr("There are no tracks to upload."));
        return;
    }
    TransferRequest request;
    request.tracks = TracksForUpload(store);
    Start(TransferKind::kUploadTracks, std::move(request));
}

void GpsCommands::UploadWaypoints() {
    TransferRequest request;
    request.waypoints = WaypointsForUpload(window_.Doc()->Store());
    if (request.waypoints.empty()) {
        QMessageBox::information(&window_, tr("Upload Waypoints"),
                                 tr("There are no waypoints to upload."));
        return;
    }
    NameList names;
    for (const GpsWaypoint& w : request.waypoints)
        names.emplace_back(SORVANE_NAME_WAYPOINT, w.name);
    Start(TransferKind::kUploadWaypoints, std::move(request), std::move(names));
}

void GpsCommands::UploadTrackAsRoute() {
    if (command_)
        return;
    const QModelIndex node = window_.TreeView1()->currentIndex();
    if (!node.isValid())
        return;
    TreeController& tree = *window_.Tree();
    // A track node stands for its whole store track; the sketch is none yet.
    const int track = tree.StoreTrackOf(node);
    if (track < 0) {
        QMessageBox::critical(&window_, tr("Error"), tr("No track is selected"));
        return;
    }
    TfrmRouteDlg dialog(&window_);
    if (dialog.exec() != QDialog::Accepted)
        return;
    RouteChoice choice;
    choice.name = dialog.RouteName().toStdString();
    choice.prefix = dialog.WaypointPrefix().toStdString();
    choice.symbol = dialog.Symbol();
    TransferRequest request;
    request.route = TrackAsRoute(window_.Doc()->Store(), track, choice);
    NameList names{{SORVANE_NAME_ROUTE, request.route.name}};
    for (const GpsWaypoint& w : request.route.waypoints)
        names.emplace_back(SORVANE_NAME_WAYPOINT, w.name);
    Start(TransferKind::kUploadRoute, std::move(request), std::move(names));
}

// ---------------------------------------------------------------- the steps

void GpsCommands::Start(TransferKind kind, TransferRequest request, NameList names) {
    if (command_)
        return;
    GpsSession* gps = window_.Sorvane1();
    if (!gps->Info().ok) {
        QMessageBox::critical(&window_, QStringLiteral("ERROR"),
                              tr("The GPS control could not be created."));
        return;
    }
    request.kind = kind;
    command_ = Command{kind, Port(), 0, false, std::move(request), std::move(names)};
    gps->BeginCommand();
    OpenProgress(tr("Looking for the receiver on COM%1 (%2)...")
                     .arg(command_->port)
                     .arg(PortDeviceOf(command_->port).path));
    command_->tag = gps->IdentifyForCommand(command_->port);
}

void GpsCommands::Identified(const Identification& result) {
    if (!command_ || result.tag != command_->tag)
        return;
    if (command_->cancelled) {
        End();
        return;
    }
    if (result.productId == -1) {
        CloseProgress();
        QMessageBox box(QMessageBox::Critical, QStringLiteral("ERROR"), tr("Communication error"),
                        QMessageBox::Ok, &window_);
        box.setInformativeText(NoAnswerText(result));
        box.exec();
        End();
        return;
    }
    std::int32_t productId = result.productId;
    if (!result.supported) {
        CloseProgress();
        TfrmSelPID dialog(&window_);
        if (dialog.exec() != QDialog::Accepted) {
            End();
            return;
        }
        productId = dialog.ChosenProductId();
    }
    command_->request.productId = productId;
    if (!command_->names.empty()) {
        command_->tag = window_.Sorvane1()->CheckNames(productId, command_->names);
        return;
    }
    SendTransfer();
}

void GpsCommands::NamesChecked(int tag, const NameChanges& changes) {
    if (!command_ || tag != command_->tag)
        return;
    if (command_->cancelled) {
        End();
        return;
    }
    if (!changes.isEmpty()) {
        CloseProgress();
        QStringList lines;
        for (const NameChange& c : changes)
            lines.append(QStringLiteral("%1 \u2192 %2").arg(c.name, c.held));
        QMessageBox box(QMessageBox::Question, tr("Confirm"),
                        tr("The receiver will change %1 of the %2 names it is sent:")
                            .arg(changes.size())
                            .arg(command_->names.size()),
                        QMessageBox::NoButton, &window_);
        box.setObjectName(QStringLiteral("NameChanges"));
        QStringList shown = lines.mid(0, kListedNames);
        if (lines.size() > kListedNames)
            shown.append(tr("... and %1 more").arg(lines.size() - kListedNames));
        box.setInformativeText(shown.join(QLatin1Char('\n')));
        box.setDetailedText(lines.join(QLatin1Char('\n')));
        QPushButton* go = box.addButton(tr("Upload"), QMessageBox::AcceptRole);
        box.addButton(QMessageBox::Cancel);
        box.setDefaultButton(go);
        box.exec();
        if (box.clickedButton() != go) {
            End();
            return;
        }
    }
    SendTransfer();
}

void GpsCommands::SendTransfer() {
    OpenProgress(TransferKindText(command_->kind) + QStringLiteral("..."));
    command_->tag = window_.Sorvane1()->Transfer(std::move(command_->request));
    command_->request = {};
}

void GpsCommands::ShowProgress(int tag, TransferKind kind, int done, int total) {
    if (!command_ || tag != command_->tag || progress_ == nullptr || command_->cancelled)
        return;
    progress_->setLabelText(
        tr("%1: %2 of %3 records").arg(TransferKindText(kind)).arg(done).arg(total));
    progress_->setMaximum(std::max(total, 1));
    progress_->setValue(std::clamp(done, 0, std::max(total, 1)));
}

void GpsCommands::Transferred(const TransferResult& result) {
    if (!command_ || result.tag != command_->tag)
        return;
    CloseProgress();
    const int port = command_->port;
    switch (result.outcome) {
        case TransferResult::Outcome::kDone:
            Apply(result);
            break;
        case TransferResult::Outcome::kCancelled:
            QMessageBox::information(&window_, tr("Cancelled"),
                                     FailureText(result, port, PortDeviceOf(port).path));
            break;
        case TransferResult::Outcome::kFailed:
            QMessageBox::critical(&window_, tr("Error"),
                                  FailureText(result, port, PortDeviceOf(port).path));
            break;
    }
    End();
}

void GpsCommands::Apply(const TransferResult& result) {
    TreeController& tree = *window_.Tree();
    Document& document = *window_.Doc();
    QString done;
    switch (result.kind) {
        case TransferKind::kDownloadTracks:
            tree.EraseTrackElements();
            ReplaceTracks(document.Store(), result.tracks, result.axisDifference);
            tree.DrawAllTracks();
            document.NotifyEdited();
            done = tr("Tracks downloaded: %1.").arg(result.tracks.size());
            break;
        case TransferKind::kDownloadWaypoints:
            tree.EraseWaypointElements();
            ReplaceWaypoints(document.Store(), result.waypoints);
            tree.DrawAllWaypoints();
            document.NotifyEdited();
            done = tr("Waypoints downloaded: %1.").arg(result.waypoints.size());
            break;
        case TransferKind::kUploadTracks:
        case TransferKind::kUploadWaypoints:
        case TransferKind::kUploadRoute:
            done = tr("Sent to the receiver.");
            break;
    }
    window_.statusBar()->showMessage(done, kStatusMessageMs);
}

void GpsCommands::End() {
    CloseProgress();
    command_.reset();
    emit Finished();
}

// ---------------------------------------------------------------- progress

void GpsCommands::OpenProgress(const QString& text) {
    if (progress_ == nullptr) {
        progress_ = new QProgressDialog(&window_);
        progress_->setObjectName(QStringLiteral("GpsProgress"));
        progress_->setWindowTitle(tr("GPS"));
        progress_->setWindowModality(Qt::WindowModal);
        progress_->setMinimumDuration(0);
        progress_->setAutoClose(false);
        progress_->setAutoReset(false);
        progress_->setCancelButtonText(tr("Cancel"));
        // Cancel (the button, Escape or closing the dialog) asks the command
        // to stop; the dialog stays until it has.
        disconnect(progress_, &QProgressDialog::canceled, progress_, &QProgressDialog::cancel);
        const auto cancel = [this] {
            if (progress_ == nullptr || !command_ || command_->cancelled)
                return;
            command_->cancelled = true;
            window_.Sorvane1()->RequestCancel();
            progress_->setLabelText(tr("Cancelling..."));
            if (auto* button = progress_->findChild<QPushButton*>())
                button->setEnabled(false);
            progress_->show();
        };
        connect(progress_, &QProgressDialog::canceled, this, cancel);
        connect(progress_, &QDialog::rejected, this, cancel);
    }
    progress_->setRange(0, 0);
    progress_->setLabelText(text);
    progress_->show();
}

void GpsCommands::CloseProgress() {
    if (progress_ == nullptr)
        return;
    progress_->hide();
    progress_->deleteLater();
    progress_ = nullptr;
}

// ---------------------------------------------------------------- messages

QString GpsCommands::NoAnswerText(const Identification& result) {
    const QString device = result.device.isEmpty() ? tr("no device") : result.device;
    if (IsPortOpenFailure(result.errorCode))
        return CannotOpenText(result.port, device, result.errorCode);
    if (result.nmeaHeard)
        return tr("The receiver on COM%1 (%2) is sending NMEA sentences: it is in NMEA mode. "
                  "Switch its interface to its binary transfer protocol and try again.")
            .arg(result.port)
            .arg(device);
    return tr("No receiver answered on COM%1 (%2). Check that it is switched on, connected to "
              "this port and set to its binary transfer protocol.")
        .arg(result.port)
        .arg(device);
}

QString GpsCommands::FailureText(const TransferResult& result, int port, const QString& device) {
    const bool download = IsDownload(result.kind);
    QString unchanged;
    if (result.kind == TransferKind::kDownloadTracks)
        unchanged = tr("The tracks you had are unchanged.");
    else if (result.kind == TransferKind::kDownloadWaypoints)
        unchanged = tr("The waypoints you had are unchanged.");
    if (result.outcome == TransferResult::Outcome::kCancelled) {
        if (download)
            return tr("The download was cancelled.") + QLatin1Char(' ') + unchanged;
        return tr("The upload was cancelled after %1 of %2 records; the receiver may keep what it "
                  "got.")
            .arg(result.done)
            .arg(result.total);
    }
    QString why;
    const int code = result.errorCode;
    if (result.timedOut) {
        why = result.total > 0 ? tr("The receiver stopped answering after %1 of %2 records.")
                                     .arg(result.done)
                                     .arg(result.total)
                               : tr("The receiver did not answer.");
    } else if (code == EIO) {
        why = tr("The connection to the receiver was lost.");
    } else if (code == EPROTO) {
        why = tr("The receiver kept refusing a record.");
    } else if (IsPortOpenFailure(code)) {
        why = CannotOpenText(port, device, code);
    } else if (download) {
        why = tr("The receiver sent records that could not be used.");
    } else {
        why = tr("The receiver did not confirm what it was sent.");
    }
    const QString what = tr("%1 failed.").arg(TransferKindText(result.kind));
    return unchanged.isEmpty() ? what + QLatin1Char(' ') + why
                               : what + QLatin1Char(' ') + why + QLatin1Char(' ') + unchanged;
}

}  // namespace tobrel
