#pragma once
// TAboutBox: the product's title, version, makers and contact links, which
// hand their address to the desktop.
#include <QDialog>

#include "manager/model/message_sink.h"

class QLabel;
class QPushButton;

namespace vltg::manager {

inline constexpr char kContactEMail[] = "gateway@example.org";
inline constexpr char kContactWeb[] = "https://www.example.org/vltg/";

class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  // `sink` opens the links.
  TAboutBox(MessageSink& sink, QWidget* parent = nullptr);

  QLabel* Version;

  void SendEMail();    // the e-mail address, to the mail program
  void OpenWebSite();  // the web address, to the browser

 private:
  MessageSink& sink_;
};

}  // namespace vltg::manager
