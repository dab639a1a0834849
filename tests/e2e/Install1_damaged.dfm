object Form1: TForm1
  Left = 192
  Top = 107
  BorderIcons = [biSystemMenu]
  BorderStyle = bsNone
  ClientHeight = 480
  ClientWidth = 640
  Color = clWindow
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  OldCreateOrder = False
  OnCreate = FormCreate
  PixelsPerInch = 96
  TextHeight = 13
  object UI_BackGround: TImage
    Left = 0
    Top = 0
    Width = 640
    Height = 480
    Center = True
    Picture.Data = TBitmap('Background.bmp')
    OnMouseDown = UI_BackGroundMouseDown
    OnMouseMove = UI_BackGroundMouseMove
  end
  object MANUAL: TImage
    Left = 358
    Top = 110
    Width = 252
    Height = 23
    Cursor = crHandPoint
    Picture.Data = TBitmap('UserGuide.bmp')
    Visible = False
    OnMouseMove = MANUALMouseMove
    OnMouseUp = MANUALMouseUp
  end
  object INSTALL: TImage
    Left = 358
    Top = 140
    Width = 244
    Height = 24
    Cursor = crHandPoint
    Picture.Data = TBitmap('Install.bmp')
    OnMouseMove = INSTALLMouseMove
    OnMouseUp = INSTALLMouseClick
  end
  object ACROBAT: TImage
    Left = 358
    Top = 200
    Width = 148
    Height = 21
    Cursor = crHandPoint
    Picture.Data = TBitmap('Acrobat.bmp')
    Visible = False
    OnMouseMove = ACROBATMouseMove
    OnMouseUp = ACROBATMouseUp
  end
  object EXIT: TImage
    Left = 543
    Top = 425
    Width = 76
    Height = 32
    Cursor = crHandPoint
    Picture.Data = TBitmap('Exit.bmp')
    OnMouseMove = EXITMouseMove
    OnMouseUp = EXITMouseUp
  end
  object Pre_EXIT: TImage
    Left = 328
    Top = 433
    Width = 76
    Height = 32
    Picture.Data = TBitmap('Exit.bmp')
    Visible = False
  end
  object EXIT_C: TImage
    Left = 408
    Top = 432
    Width = 76
    Height = 32
    Picture.Data = TBitmap('Exit_C.bmp')
    Visible = False
  end
  object Pre_MANUAL: TImage
    Left = 8
    Top = 119
    Width = 252
    Height = 23
    Picture.Data = TBitmap('UserGuide.bmp')
    Visible = False
  end
  object MANUAL_C: TImage
    Left = 358
    Top = 317
    Width = 252
    Height = 23
    Picture.Data = TBitmap('UserGuide_C.bmp')
    Visible = False
  end
  object Pre_INSTALL: TImage
    Left = 8
    Top = 142
    Width = 244
    Height = 24
    Picture.Data = TBitmap('Install.bmp')
    Visible = False
  end
  object INSTALL_C: TImage
    Left = 358
    Top = 340
    Width = 244
    Height = 24
    Picture.Data = TBitmap('Install_C.bmp')
    Visible = False
  end
  object Pre_ACROBAT: TImage
    Left = 9
    Top = 183
    Width = 148
    Height = 21
    Picture.Data = TBitmap('Acrobat.bmp')
    Visible = False
  end
  object ACROBAT_C: TImage
    Left = 358
    Top = 364
    Width = 148
    Height = 21
    Picture.Data = TBitmap('Acrobat_C.bmp')
    Visible = False
  end
  object SAFETY: TImage
    Left = 358
    Top = 170
    Width = 179
    Height = 19
    Cursor = crHandPoint
    Picture.Data = TBitmap('Safety.bmp')
    Visible = False
    OnMouseMove = SAFETYMouseMove
    OnMouseUp = SAFETYMouseUp
  end
  object Pre_SAFETY: TImage
    Left = 8
    Top = 167
    Width = 179
    Height = 19
    Picture.Data = TBitmap('Safety.bmp')
    Visible = False
  end
  object SAFETY_C: TImage
    Left = 360
    Top = 296
    Width = 179
    Height = 19
    Picture.Data = TBitmap('Safety_C.bmp')
    Visible = False
  end
end
