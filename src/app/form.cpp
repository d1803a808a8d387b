// The main form: start-up, the frame, closing and minimising.
#include "app/app.h"
#include "sprites/sprites.h"

TMForm::TMForm() { MDXSpriteEngine = new TDXSpriteEngine(&MDXDraw); }

TMForm::~TMForm() { delete MDXSpriteEngine; }
