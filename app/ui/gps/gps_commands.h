#pragma once
// The five commands of the GPS menu, on the window's side. Each identifies
// the receiver on the preferences' port, lets the user pick a model for one
// the control does not support, for an upload lists the names the receiver
// will change, then runs its transfer on the GPS session's thread while a
// progress dialog shows the counts and offers Cancel. A download replaces
// the store's tracks or waypoints only when it completed; every failure and
// a cancel are said in a message.

#include <optional>

#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <QString>

#include "ui/gps/gps_session.h"

namespace tobrel {

class TfrmMain;

class GpsCommands : public QObject {
    Q_OBJECT
  public:
    explicit GpsCommands(TfrmMain& window);
    ~GpsCommands() override;

    void DownloadTracks();
    void DownloadWaypoints();
    void UploadTracks();
    void UploadWaypoints();
    void UploadTrackAsRoute();

    bool IsRunning() const { return command_.has_value(); }
    // The progress dialog of the running command, for tests.
    QProgressDialog* Progress() const { return progress_; }

    // What the message after a failed or cancelled transfer says.
    static QString FailureText(const TransferResult& result, int port, const QString& device);
    // The second line under "Communication error" after no answer.
    static QString NoAnswerText(const Identification& result);

  signals:
    // A command ended, however it ended.
    void Finished();

  private:
    struct Command {
        TransferKind kind = TransferKind::kDownloadTracks;
        int port = 1;
        int tag = 0;  // of the step waited for
        bool cancelled = false;
        TransferRequest request;
        NameList names;
    };

    void Start(TransferKind kind, TransferRequest request = {}, NameList names = {});
    void Identified(const Identification& result);
    void NamesChecked(int tag, const NameChanges& changes);
    void SendTransfer();
    void ShowProgress(int tag, TransferKind kind, int done, int total);
    void Transferred(const TransferResult& result);
    void Apply(const TransferResult& result);
    void End();
    void OpenProgress(const QString& text);
    void CloseProgress();
    int Port() const;

    TfrmMain& window_;
    std::optional<Command> command_;
    QPointer<QProgressDialog> progress_;
};

// "COM1 (/dev/ttyUSB0) cannot be opened: Permission denied." and what to do about it.
QString CannotOpenText(int port, const QString& device, int errorCode);

// The text of a transfer's kind for the progress dialog: "Downloading tracks".
QString TransferKindText(TransferKind kind);

}  // namespace tobrel
