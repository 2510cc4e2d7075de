program P;
uses A, B;
{$R *.res}
begin
  x := #13#10 + $FF + 1.5;
end.
