unit Geometry;
{$mode objfpc}

interface

function Twice(Value: Integer): Integer;

implementation

uses Shapes;

{$I factor.inc}

function Twice(Value: Integer): Integer;
var
  Side: Integer;
begin
  Side := Value;
  Result := Value * Factor;
end;

procedure Probe(Shape: TShape);
begin
  if Shape <> nil then
    WriteLn(Shape.Side);
end;

initialization
  Probe(nil);
end.
