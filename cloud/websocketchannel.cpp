// PLACEHOLDER (cloud work replaces this file): the cloud WebSocket channel.
#include "ktcommoninterface.h"

void KTCommonInterface::slot_websocket_connected() {}
void KTCommonInterface::slot_websocket_disconnected() {}
void KTCommonInterface::slot_websocket_error(QAbstractSocket::SocketError) {}
void KTCommonInterface::slot_websocket_text_received(QString) {}
