program Demo;
{$mode objfpc}{$H+}

uses Shapes, Geometry, Spare;

var
  Count: Integer;

procedure Report(const Shape: TShape; Verbose: Boolean);
var
  Count: Integer;
  Unused: Integer;
begin
  Count := Shape.Area;
  WriteLn(Count);
end;

var
  Square: TShape;
begin
  Square := TShape.Create(3);
  Count := Geometry.Twice(Square.Side);
  Report(Square, True);
  with Square do
    WriteLn(Side, Count);
end.
