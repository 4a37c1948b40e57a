#pragma once

#include <QList>
#include <QUrl>
#include <QWidget>

class IconLabel;
class QLabel;
class QDropEvent;
class QMimeData;

// The dashed area files are dropped on. It takes local file URLs only, always
// as a copy; a drag that carries none is refused and leaves the zone as it was.
class DropZone : public QWidget {
    Q_OBJECT

public:
    explicit DropZone(QWidget* parent = nullptr);

    bool isTargeted() const { return m_isTargeted; }

    // The local files a drag carries, in the order of its items; items that
    // are not local files are skipped.
    static QList<QUrl> urls(const QMimeData* data);

Q_SIGNALS:
    // After the drop has been accepted; never with an empty list.
    void filesDropped(const QList<QUrl>& files);
    // A click, Space or Return on the zone.
    void activated();

protected:
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Accepts a drag of local files as a copy, whatever the source proposed.
    static bool takeAsCopy(QDropEvent* event);
    void setTargeted(bool targeted);
    void applyLook();

    bool m_isTargeted = false;
    IconLabel* m_icon = nullptr;
    QLabel* m_headline = nullptr;
    QLabel* m_caption = nullptr;
};
