// PLACEHOLDER (RV8 work replaces this file): job control.
#include "ktrv8.h"

void KTRV8::startTask() {}
void KTRV8::move(int, int) {}
void KTRV8::setPlt(QString) {}
void KTRV8::decode_cmd(QString) {}
