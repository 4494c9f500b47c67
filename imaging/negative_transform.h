#pragma once
// The negative of an image: every colour replaced by its complement. Grey and true-colour
// images invert their pixel values (their palettes run from black to white); palette
// images invert their palette.

class TDibGraphic;

class TNegativeTransform {
 public:
  void Apply(TDibGraphic& Image) const;
};
