// Anchor for the GUI half of the platform layer (services that need QtGui or QtWidgets).
