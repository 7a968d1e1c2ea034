#include "support/sleep_recorder.h"
