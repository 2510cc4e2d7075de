unit Exemplo;

interface

uses SysUtils, Classes;

type
  TContador = class
    FTotal: Integer;
    procedure Soma(Valor: Integer);
    function Media(Qtd: Integer): Double;
  end;

var
  Contador: TContador;

implementation

uses Math;

procedure TContador.Soma(Valor: Integer);
begin
  FTotal := FTotal + Valor;
end;

function TContador.Media(Qtd: Integer): Double;
var
  I: Integer;
begin
  Result := 0;
  if Qtd > 0 then begin
    for I := 1 to Qtd do
      Result := Result + FTotal;
    Result := Result / Qtd;
  end else
    Result := -1;
end;

function Potencia(Base, Expoente: Integer): Integer;
var
  F: Integer;
begin
  Result := 1;
  F := 0;
  repeat
    try
      Result := Result * Base;
    finally
      Inc(F);
    end;
  until F >= Expoente;
end;

end.
