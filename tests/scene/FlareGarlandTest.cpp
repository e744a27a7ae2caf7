// Flares, garlands, window planes and the sprite effect.
