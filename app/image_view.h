// Shows one image of an ImageList, chosen by index. Asking for the index it already
// shows changes nothing and costs no redraw.
#pragma once

#include <QWidget>

class ImageList;

class ImageView : public QWidget {
  Q_OBJECT
  Q_PROPERTY(int imageIndex READ imageIndex WRITE setImageIndex)

 public:
  explicit ImageView(QWidget* parent = nullptr);

  void setImageList(const ImageList* images);
  int imageIndex() const { return index_; }
  void setImageIndex(int index);

 signals:
  // Emitted only when the shown image really changes.
  void imageIndexChanged(int index);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const ImageList* images_ = nullptr;
  int index_ = -1;
};
