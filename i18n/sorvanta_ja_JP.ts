<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name>AcousticCanvas</name>
    <message>
        <source>Acoustic map</source>
        <translation>音響マップ</translation>
    </message>
    <message>
        <source>Camera overlay is not configured in this slice</source>
        <translation>このバージョンではカメラオーバーレイは未設定です</translation>
    </message>
    <message>
        <source>Press Start to publish the first map</source>
        <translation>「開始」を押すと最初のマップを表示します</translation>
    </message>
    <message>
        <source>Import a Device Profile</source>
        <translation>デバイスプロファイルをインポート</translation>
    </message>
    <message>
        <source>The acoustic map updates in real time</source>
        <translation>音響マップはリアルタイムで更新されます</translation>
    </message>
    <message>
        <source>Peak %1° / %2° · span %3 dB · %4 dBFS</source>
        <translation>ピーク %1° / %2° · 幅 %3 dB · %4 dBFS</translation>
    </message>
    <message>
        <source>Map below level gate: peak %1 dBFS &lt; gate %2 dBFS - lower Level gate or make sound</source>
        <translation>マップがレベルゲート未満です：ピーク %1 dBFS &lt; ゲート %2 dBFS - レベルゲートを下げるか音を出してください</translation>
    </message>
    <message>
        <source>Azimuth</source>
        <translation>方位角</translation>
    </message>
    <message>
        <source>Elevation</source>
        <translation>仰角</translation>
    </message>
</context>
<context>
    <name>AcquisitionPage</name>
    <message>
        <source>Sound pressure map</source>
        <translation>音圧マップ</translation>
    </message>
    <message>
        <source>UVC video overlay active — Record captures a video track</source>
        <translation>UVC 映像オーバーレイ有効 — 録画に映像トラックを含みます</translation>
    </message>
    <message>
        <source>No camera — Record will be audio only</source>
        <translation>カメラなし — 録画は音声のみです</translation>
    </message>
    <message>
        <source>REC %1 · %2 / %3 s · %4 MB · %5</source>
        <translation>録画 %1 · %2 / %3 秒 · %4 MB · %5</translation>
    </message>
    <message>
        <source>CAM</source>
        <translation>カメラ</translation>
    </message>
    <message>
        <source>no video</source>
        <translation>映像なし</translation>
    </message>
</context>
<context>
    <name>Main</name>
    <message>
        <source>Device</source>
        <translation>デバイス</translation>
    </message>
    <message>
        <source>Project</source>
        <translation>プロジェクト</translation>
    </message>
    <message>
        <source>Camera</source>
        <translation>カメラ</translation>
    </message>
    <message>
        <source>Live</source>
        <translation>ライブ</translation>
    </message>
    <message>
        <source>Replay</source>
        <translation>再生</translation>
    </message>
    <message>
        <source>Analysis</source>
        <translation>解析</translation>
    </message>
    <message>
        <source>Diagnostics</source>
        <translation>診断</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>設定</translation>
    </message>
    <message>
        <source>Sorvanta Studio v%1</source>
        <translation>Sorvanta Studio v%1</translation>
    </message>
    <message>
        <source>No profile</source>
        <translation>プロファイルなし</translation>
    </message>
    <message>
        <source>Ready</source>
        <translation>準備完了</translation>
    </message>
    <message>
        <source>Starting</source>
        <translation>開始中</translation>
    </message>
    <message>
        <source>Running</source>
        <translation>実行中</translation>
    </message>
    <message>
        <source>Stopping</source>
        <translation>停止中</translation>
    </message>
    <message>
        <source>Faulted</source>
        <translation>障害</translation>
    </message>
    <message>
        <source>Loading</source>
        <translation>読み込み中</translation>
    </message>
    <message>
        <source>Playing</source>
        <translation>再生中</translation>
    </message>
    <message>
        <source>Paused</source>
        <translation>一時停止</translation>
    </message>
    <message>
        <source>Finished</source>
        <translation>終了</translation>
    </message>
    <message>
        <source>Idle</source>
        <translation>待機</translation>
    </message>
    <message>
        <source>Sorvanta Studio</source>
        <translation>Sorvanta Studio</translation>
    </message>
    <message>
        <source>PROJECT</source>
        <translation>プロジェクト</translation>
    </message>
    <message>
        <source>No project open</source>
        <translation>プロジェクト未選択</translation>
    </message>
    <message>
        <source>No Device Profile</source>
        <translation>デバイスプロファイルなし</translation>
    </message>
    <message>
        <source>Analysis · %1%</source>
        <translation>解析 · %1%</translation>
    </message>
    <message>
        <source>Replay · %1</source>
        <translation>再生 · %1</translation>
    </message>
    <message>
        <source>● REC</source>
        <translation>● 録画</translation>
    </message>
    <message>
        <source>Saving...</source>
        <translation>保存中...</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>言語</translation>
    </message>
    <message>
        <source>Theme</source>
        <translation>テーマ</translation>
    </message>
    <message>
        <source>WORKSPACE</source>
        <translation>ワークスペース</translation>
    </message>
    <message>
        <source>Working…</source>
        <translation>処理中…</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>開始</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>Stop &amp; save</source>
        <translation>停止して保存</translation>
    </message>
    <message>
        <source>Saving…</source>
        <translation>保存中…</translation>
    </message>
    <message>
        <source>Record</source>
        <translation>録画</translation>
    </message>
    <message>
        <source>DEVICE CONTRACT</source>
        <translation>デバイス契約</translation>
    </message>
    <message>
        <source>No validated profile</source>
        <translation>検証済みプロファイルなし</translation>
    </message>
    <message>
        <source>Background calibration</source>
        <translation>背景キャリブレーション</translation>
    </message>
    <message>
        <source>Calibration in progress - please keep the on-site environment stable</source>
        <translation>キャリブレーション中 - 現場の環境を安定に保ってください</translation>
    </message>
    <message>
        <source>%1 s remaining</source>
        <translation>残り %1 秒</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
</context>
<context>
    <name>Theme</name>
    <message>
        <source>Abyss Black</source>
        <translation>アビスブラック</translation>
    </message>
    <message>
        <source>Deep Blue</source>
        <translation>ディープブルー</translation>
    </message>
    <message>
        <source>Graphite Gray</source>
        <translation>グラファイトグレー</translation>
    </message>
    <message>
        <source>Slate Copper</source>
        <translation>スレートカッパー</translation>
    </message>
    <message>
        <source>Mist Cyan</source>
        <translation>ミストシアン</translation>
    </message>
    <message>
        <source>Midnight Teal</source>
        <translation>ミッドナイトティール</translation>
    </message>
    <message>
        <source>Carbon Amber</source>
        <translation>カーボンアンバー</translation>
    </message>
    <message>
        <source>Medical</source>
        <translation>メディカル</translation>
    </message>
    <message>
        <source>Light</source>
        <translation>ライト</translation>
    </message>
</context>
<context>
    <name>ThemedDialog</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>はい</translation>
    </message>
    <message>
        <source>No</source>
        <translation>いいえ</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>閉じる</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
</context>
<context>
    <name>UiController</name>
    <message>
        <source>Live stopped</source>
        <translation>ライブ停止中</translation>
    </message>
    <message>
        <source>Not calibrated</source>
        <translation>未校正</translation>
    </message>
    <message>
        <source>Waiting for raw samples</source>
        <translation>生サンプルを待機しています</translation>
    </message>
    <message>
        <source>Load a validated Device Profile to begin</source>
        <translation>開始するには検証済みのデバイスプロファイルを読み込んでください</translation>
    </message>
    <message>
        <source>Device Profile validated; system ready to start</source>
        <translation>デバイスプロファイルを検証しました。システムは開始できます</translation>
    </message>
    <message>
        <source>Profile validation failed: %1</source>
        <translation>プロファイルの検証に失敗しました: %1</translation>
    </message>
    <message>
        <source>Select a directory for the new Project</source>
        <translation>新しいプロジェクトのディレクトリを選択してください</translation>
    </message>
    <message>
        <source>The selected directory already contains a Project</source>
        <translation>選択したディレクトリには既にプロジェクトがあります</translation>
    </message>
    <message>
        <source>The selected path is not a directory</source>
        <translation>選択したパスはディレクトリではありません</translation>
    </message>
    <message>
        <source>The selected directory is not empty - choose an empty directory for a new Project</source>
        <translation>選択したディレクトリは空ではありません - 新しいプロジェクトには空のディレクトリを選択してください</translation>
    </message>
    <message>
        <source>Project no longer exists at %1 - removed from Recent</source>
        <translation>プロジェクトは %1 に存在しなくなりました - 最近使ったプロジェクトから削除しました</translation>
    </message>
    <message>
        <source>Open Project failed: %1</source>
        <translation>プロジェクトを開けませんでした: %1</translation>
    </message>
</context>
<context>
    <name>UvcParameter</name>
    <message>
        <source>Brightness</source>
        <translation>明るさ</translation>
    </message>
    <message>
        <source>Contrast</source>
        <translation>コントラスト</translation>
    </message>
    <message>
        <source>Hue</source>
        <translation>色相</translation>
    </message>
    <message>
        <source>Saturation</source>
        <translation>彩度</translation>
    </message>
    <message>
        <source>Sharpness</source>
        <translation>シャープネス</translation>
    </message>
    <message>
        <source>Gamma</source>
        <translation>ガンマ</translation>
    </message>
    <message>
        <source>Color enable</source>
        <translation>カラー有効</translation>
    </message>
    <message>
        <source>White balance</source>
        <translation>ホワイトバランス</translation>
    </message>
    <message>
        <source>Backlight compensation</source>
        <translation>逆光補正</translation>
    </message>
    <message>
        <source>Gain</source>
        <translation>ゲイン</translation>
    </message>
    <message>
        <source>Exposure</source>
        <translation>露出</translation>
    </message>
    <message>
        <source>Focus</source>
        <translation>フォーカス</translation>
    </message>
    <message>
        <source>Iris</source>
        <translation>絞り</translation>
    </message>
    <message>
        <source>Zoom</source>
        <translation>ズーム</translation>
    </message>
    <message>
        <source>Pan</source>
        <translation>パン</translation>
    </message>
    <message>
        <source>Tilt</source>
        <translation>チルト</translation>
    </message>
    <message>
        <source>Roll</source>
        <translation>ロール</translation>
    </message>
    <message>
        <source>Powerline frequency</source>
        <translation>電源周波数</translation>
    </message>
</context>
</TS>
