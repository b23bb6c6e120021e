#pragma once

// The tone steps: gamma, brightness and contrast, each moved in fixed steps
// between two limits and applied, gamma first, to a fresh decode of the file.

#include <FreeImage.h>

#include <QString>

enum TToneValue { tvGamma, tvBrightness, tvContrast };

// One step up (+1) or down (-1).
enum TToneDirection { tdDown = -1, tdUp = 1 };

struct TToneRange {
  const char* name;  // as the messages call it
  double neutral;
  double step;
  double lower;
  double upper;
};

const TToneRange& ToneRange(TToneValue which);

// Whether value may take one more step: down only while lower < value, up
// only while value < upper. The limits are therefore reached, not passed by
// much (gamma stops at 0.09999999999999969 and 16.000000000000092).
bool ToneCanStep(TToneValue which, double value, TToneDirection direction);

// value plus or minus the step, in double arithmetic.
double ToneStepped(TToneValue which, double value, TToneDirection direction);

// The on-screen messages, the value with two decimals and the separator of
// the default locale: "Gamma (+): 1.05", "Brightness (Original): 0.00" and,
// at a limit, "Contrast: 100.00".
QString ToneStepMessage(TToneValue which, TToneDirection direction, double value);
QString ToneOriginalMessage(TToneValue which, double value);
QString ToneLimitMessage(TToneValue which, double value);

// Gamma, then brightness, then contrast on dib in place, each even when its
// value is neutral (which leaves the pixels as they are); FreeImage's refusal
// of a depth or type leaves them too. Nothing happens for a null dib.
void ApplyToneAdjustments(FIBITMAP* dib, double gamma, double brightness, double contrast);

// Whether values are the neutral ones, so that the adjusted pixels are the
// decoded ones.
bool ToneIsNeutral(double gamma, double brightness, double contrast);
