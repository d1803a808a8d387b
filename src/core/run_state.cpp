// The renewals of the state that lives for one run of the game.
#include "core/core.h"

namespace {

// Constant-initialised, so that it is there before any renewal links itself in.
const TRunStateRenewal* renewals = nullptr;

}  // namespace

TRunStateRenewal::TRunStateRenewal(void (*renew)()) : renew_(renew), next_(renewals) { renewals = this; }

void RenewRunState() {
  for (const TRunStateRenewal* r = renewals; r != nullptr; r = r->next_) r->renew_();
}
