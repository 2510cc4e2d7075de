object Form1: TForm1
  Left = 10
  object Button1: TButton
    Caption = 'OK'
  end
end
