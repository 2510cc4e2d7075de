unit Shapes;
{$mode objfpc}{$H+}

interface

type
  TShape = class
  private
    FSide: Integer;
  public
    constructor Create(ASide: Integer);
    function Area: Integer;
    property Side: Integer read FSide;
  end;

implementation

uses Geometry;

constructor TShape.Create(ASide: Integer);
begin
  FSide := ASide;
end;

function TShape.Area: Integer;
var
  Scale: Integer;
begin
{$IFDEF BIG}
  Scale := 10;
{$ELSE}
  Scale := 1;
{$ENDIF}
  Result := Geometry.Twice(FSide) * FSide div 2 * Scale;
end;

end.
