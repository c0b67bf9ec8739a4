#pragma once

#include "controls/AviClip.h"

#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <optional>
#include <vector>

// Plays an AVI clip resource (the progress animation) the way the animation control does: the
// widget takes the frame size on Open(), and Play() shows the frames from the first to the last,
// over and over, at the clip's own frame period. Frames are opaque. A clip resource opened by id
// plays in the variant drawn for the screen's scale, and follows the window to another screen.
class CClipPlayer : public QWidget {
    Q_OBJECT

public:
    explicit CClipPlayer(QWidget* parent = nullptr);

    // Loads AVI resource `id`; false (and nothing to play) when it is missing or unreadable.
    bool Open(int id);
    // Loads a clip already parsed.
    bool Open(const CAviClip& clip);
    void Play();
    void Stop();
    bool isPlaying() const { return m_timer.isActive(); }
    int frameCount() const { return int(m_frames.size()); }
    int currentFrame() const { return m_frame; }
    // The frame period in microseconds, 0 before a clip is open.
    std::uint32_t framePeriod() const { return m_period; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void advance();
    // Replaces the frames by those of `clip`, keeping the place in the loop.
    void setFrames(const CAviClip& clip);

    int m_clipId = 0; // the resource opened by id, 0 for a clip handed over
    int m_clipScale = 1; // the picture scale its frames were asked for
    std::vector<QImage> m_frames;
    std::uint32_t m_period = 0;
    int m_frame = 0;
    QTimer m_timer;
    QElapsedTimer m_clock;
};
