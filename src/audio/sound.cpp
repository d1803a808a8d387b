// The game's sound-effect rules over the sound device.
#include "app/app.h"
#include "audio/audio.h"

// Snd_Play stops the item's running instance before starting it again, so a retriggered effect
// restarts instead of doubling.
void PlaySound(int Index) {
  if (Options.Sound) Snd_Play(Index);
}

void StopSound(int Index) {
  if (Options.Sound) Snd_Stop(Index);
}
