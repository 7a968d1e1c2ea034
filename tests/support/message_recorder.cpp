#include "support/message_recorder.h"
