#include "left_shift.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>

#if defined(Q_OS_WIN)
#include <windows.h>
#elif defined(VORLANE_HAVE_XCB)
#include <xcb/xcb.h>
#endif

namespace {

// X keysym of the left Shift key, which is also what XKB-based platforms report as
// the native virtual key of a key event.
constexpr quint32 kKeysymShiftL = 0xFFE1;

QPointer<LeftShiftWatcher>& Watcher() {
  static QPointer<LeftShiftWatcher> watcher;
  return watcher;
}

#if defined(VORLANE_HAVE_XCB) && !defined(Q_OS_WIN)
// Looks up the keycodes carrying Shift_L and asks the server for the keymap.
std::optional<bool> X11LeftShiftDown() {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  if (x11 == nullptr || x11->connection() == nullptr) return std::nullopt;
  xcb_connection_t* c = x11->connection();
  const xcb_setup_t* setup = xcb_get_setup(c);
  const xcb_keycode_t first = setup->min_keycode;
  const int count = setup->max_keycode - setup->min_keycode + 1;

  auto mappingCookie = xcb_get_keyboard_mapping(c, first, count);
  auto keymapCookie = xcb_query_keymap(c);
  xcb_get_keyboard_mapping_reply_t* mapping = xcb_get_keyboard_mapping_reply(c, mappingCookie, nullptr);
  xcb_query_keymap_reply_t* keymap = xcb_query_keymap_reply(c, keymapCookie, nullptr);
  bool down = false;
  if (mapping != nullptr && keymap != nullptr) {
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(mapping);
    const int perCode = mapping->keysyms_per_keycode;
    for (int i = 0; i < count && !down; ++i) {
      for (int j = 0; j < perCode; ++j) {
        if (syms[i * perCode + j] != kKeysymShiftL) continue;
        const int code = first + i;
        down = (keymap->keys[code / 8] >> (code % 8)) & 1;
        break;
      }
    }
  }
  free(mapping);
  free(keymap);
  if (mapping == nullptr || keymap == nullptr) return std::nullopt;
  return down;
}
#endif

}  // namespace

bool LeftShiftWatcher::eventFilter(QObject* watched, QEvent* event) {
  const auto type = event->type();
  if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Shift && key->nativeVirtualKey() == kKeysymShiftL) {
      down_ = type == QEvent::KeyPress;
    }
  } else if (type == QEvent::ApplicationDeactivate) {
    down_ = false;  // the release may go to another program
  }
  return QObject::eventFilter(watched, event);
}

void InstallLeftShiftWatcher() {
  if (Watcher() || qApp == nullptr) return;
  Watcher() = new LeftShiftWatcher(qApp);
  qApp->installEventFilter(Watcher());
}

bool IsLeftShiftDown() {
#if defined(Q_OS_WIN)
  return GetAsyncKeyState(VK_LSHIFT) != 0;
#else
#if defined(VORLANE_HAVE_XCB)
  if (const auto down = X11LeftShiftDown()) return *down;
#endif
  return Watcher() && Watcher()->down();
#endif
}
