// Recording a catalogue diagnostic on a handle in the handle's language:
//   QVO_DIAG(conn, _No_server_listening_, -1);
// expands to the handle's SetDiagRec with the entry's SQLSTATE and text, and
// yields -1 like SetDiagRec.
#pragma once

#include "handles/qvoHandle.h"
#include "messages/qvoTranslator.h"

#define QVO_DIAG(handle, entry, native)                               \
  ((handle)->SetDiagRec((handle)->translate->entry##CODE(), (native), \
                        (handle)->translate->entry##MESSAGE()))

// The same for an entry whose text is a format: the arguments follow.
#define QVO_DIAG_FMT(handle, entry, native, ...)                      \
  ((handle)->SetDiagRec((handle)->translate->entry##CODE(), (native), \
                        (handle)->translate->entry##MESSAGE(__VA_ARGS__)))
