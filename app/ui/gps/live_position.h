#pragma once
// The live position on the window's side. The GPS session's worker runs the
// control's NMEA receiver on the preferences' port; its fixes, satellites and
// status arrive here queued, on the window's thread. Here they move the
// position marker (and the map, while it follows), fill the satellite panel
// and the status bar, and grow the recorded track in the store, the tree and
// on the map. A port that cannot be opened, a line that hangs up, a port
// silent for five seconds and a receiver answering in its binary protocol
// are said in a message box that does not block the window.

#include <cstdint>
#include <optional>
#include <vector>

#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QObject>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QString>
#include <QTimer>

#include "control/sorvane.h"
#include "ui/gps/satellite_panel.h"

namespace tobrel {

class TfrmMain;

class LivePosition : public QObject {
    Q_OBJECT
  public:
    // Without a sentence for this long the port counts as silent.
    static constexpr int kSilenceMs = 5000;
    // The accuracy circle's radius per unit of HDOP.
    static constexpr double kMetresPerHdop = 5.0;
    // Below this speed the course means nothing and no heading is drawn.
    static constexpr double kHeadingMinKmh = 1.0;
    // A recorded track starts a new segment after no valid fix for longer.
    static constexpr double kNewSegmentAfterSeconds = 3.0;

    explicit LivePosition(TfrmMain& window);
    ~LivePosition() override;

    // The menu items. Live starts on the preferences' port.
    void SetLive(bool on);
    void SetFollow(bool on);
    void SetRecording(bool on);
    // From starting until stopped (the worker's receiver may still run).
    bool IsLive() const { return state_ != State::kOff; }
    bool IsFollowing() const { return follow_; }
    bool IsRecording() const { return recording_.has_value(); }
    // Stops at once and waits for the worker (the window is closing).
    void StopNow();

    // For tests and the benchmark.
    const std::optional<SorvaneFix>& LastFix() const { return lastFix_; }
    std::uint64_t FixCount() const { return fixes_; }
    // The store track being recorded; -1 when none.
    int RecordedTrack() const;
    QMessageBox* Message() const { return message_; }
    SatellitePanel* Panel() const { return panel_; }
    QLabel* StatusLabel() const { return status_; }
    // Takes a fix as if the receiver had sent it (the benchmark feeds these).
    void TakeFix(const SorvaneFix& fix);

  signals:
    // Live went on or off, following and recording changed: the menu follows.
    void Changed();

  private:
    enum class State { kOff, kStarting, kRunning, kProbing, kStopping };
    struct Recording {
        QPersistentModelIndex node;  // the current segment's; invalid before its first point
        int segment = 0;             // 1-based
        int firstPoint = 0;          // of the current segment
        double lastTime = 0.0;       // of the last recorded fix; 0 before one
        QString name;
    };

    void Started(bool ok, const SorvaneReceiverStatus& status);
    void StatusChanged(const SorvaneReceiverStatus& status);
    void SatellitesChanged(const std::vector<SorvaneSatellite>& satellites);
    void Stopped();
    void BinaryProbed(bool answered, const QString& description);
    void CheckSilence();
    void ShowMarker(const SorvaneFix& fix);
    void ShowStatus();
    void Record(const SorvaneFix& fix, std::int32_t latitude, std::int32_t longitude);
    void StopRecording(const QString& why = {});
    void RedrawSegment(int track);
    void MapMoved(bool layerChanged);
    void Say(bool critical, const QString& text);
    QString PortText() const;

    TfrmMain& window_;
    State state_ = State::kOff;
    int port_ = 1;
    bool follow_ = true;
    bool centring_ = false;  // the map moves for the marker, not for the user
    std::optional<Recording> recording_;
    std::optional<SorvaneFix> lastFix_;
    std::optional<SorvaneFix> lastValid_;
    int satellitesUsed_ = 0;
    std::uint64_t fixes_ = 0;
    std::uint64_t sentences_ = 0;
    QElapsedTimer sinceSentence_;
    QElapsedTimer storeNotice_;
    bool silenceSaid_ = false;
    QTimer silenceTimer_;
    QPointer<QMessageBox> message_;
    QPointer<SatellitePanel> panel_;
    QPointer<QLabel> status_;
};

}  // namespace tobrel
