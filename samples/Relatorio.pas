unit Relatorio;

interface

uses Exemplo;

procedure Imprime(const Titulo: string);

implementation

uses SysUtils;

const
  Separador = '------------------------------';

procedure Imprime(const Titulo: string);
var
  Linha: string;
begin
  { Cabeçalho e totais do contador global de Exemplo }
  Linha := Titulo + ': ' + IntToStr(Contador.FTotal);
  WriteLn(Separador);
  WriteLn(Linha);
  if Contador.Media(2) > 10.5 then
    WriteLn('Média alta: ', Contador.Media(2):0:2)
  else
    WriteLn('<sem destaque> & "nada" a mostrar');
end;

end.
