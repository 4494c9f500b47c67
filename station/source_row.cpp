#include "station/source_row.h"

std::string SourceStateName(TSourceState state) {
  switch (state) {
    case ssNew:
      return "new";
    case ssOk:
      return "ok";
    case ssRetrying:
      return "retrying";
    case ssGivenUp:
      return "given up";
    case ssUnchanged:
      return "unchanged";
  }
  return "new";
}

bool SourceStateFails(TSourceState state) {
  return state == ssRetrying || state == ssGivenUp || state == ssUnchanged;
}
